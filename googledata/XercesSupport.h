// Internal to the service client's .cpp files (the readers, the writer and
// the context): the Xerces-C objects behind XmlContext and small helpers for
// reading the DOM. Not for other components; Xerces headers stay out of the
// public headers.
#pragma once

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/SecurityManager.hpp>

#include <memory>
#include <string>

#include "googledata/XmlContext.h"

namespace googledata {

// Logs the errors and fatal errors of the parser at "ERR!" (the first 20 of
// a document, so a hostile document cannot flood the log) and remembers that
// one was seen.
class DOMTreeErrorReporter : public xercesc::ErrorHandler {
public:
    explicit DOMTreeErrorReporter(Utility::CMaintenanceLog* log) : log_(log) {}
    ~DOMTreeErrorReporter() override = default;

    void warning(const xercesc::SAXParseException&) override {}
    void error(const xercesc::SAXParseException& e) override;
    void fatalError(const xercesc::SAXParseException& e) override;
    void resetErrors() override {
        sawErrors = false;
        sawFatalErrors = false;
        reported = 0;
    }

    bool sawErrors = false;
    bool sawFatalErrors = false;

private:
    void Report(const char* kind, const xercesc::SAXParseException& e);
    Utility::CMaintenanceLog* log_;
    int reported = 0;  // errors logged for the current document
};

struct XmlContext::Impl {
    explicit Impl(Utility::CMaintenanceLog* log);
    ~Impl();

    DOMTreeErrorReporter reporter;
    xercesc::SecurityManager security;
    std::unique_ptr<xercesc::XercesDOMParser> parser;
    xercesc::DOMLSSerializer* serializer = nullptr;  // released by ~Impl
};

// The system id of every parsed buffer.
inline constexpr const char* kFakeBufferId = "fake_buffer";

// Parses `size` bytes at `data` with the context's parser (the bytes are not
// copied). `forceUtf8` ignores the encoding the declaration names. Returns the
// root element, or null when the document has a DOCTYPE, there is no
// document, no root, a root not named `expectedRoot`, the parser met a fatal
// error, or the tree is nested deeper than the readers accept; each case is
// logged with `who` as its prefix.
// Xerces exceptions pass through.
xercesc::DOMElement* ParseBuffer(XmlContext& context, const char* data, size_t size, bool forceUtf8,
                                 const char* expectedRoot, const char* who);

// UTF-16 text of the parser to UTF-8 (unpaired surrogates become U+FFFD).
std::string ToUtf8(const XMLCh* text);
std::u16string ToXml(const std::string& utf8);

// Element name comparison with an ASCII literal.
bool NameIs(const xercesc::DOMNode* node, const char* name);
// The attribute's text ("" when missing) and the element's text content.
std::string Attr(const xercesc::DOMElement* element, const XMLCh* name);
bool HasAttr(const xercesc::DOMElement* element, const XMLCh* name);
void SetAttr(xercesc::DOMElement* element, const char* name, const std::string& value);
std::string Text(const xercesc::DOMNode* node);
// The first child element with that name, or null.
xercesc::DOMElement* ChildElement(const xercesc::DOMNode* node, const char* name);

// The serialized element as UTF-8, without any declaration.
std::string Serialize(XmlContext& context, const xercesc::DOMNode* node);

}  // namespace googledata
