#include "googledata/XmlContext.h"
#include "platform/TextConv.h"

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/validators/DTD/DTDElementDecl.hpp>

#include <mutex>
#include <string>
#include <vector>

#include "app/MaintenanceLog.h"
#include "googledata/XercesSupport.h"

namespace googledata {
namespace {

using namespace xercesc;

// XMLPlatformUtils::Initialize and Terminate keep a count but are not safe
// against each other from two threads.
std::mutex g_platformLock;

// Real feeds nest five levels deep; anything far deeper is hostile or broken
// and would make the recursive text and serializer walks overflow the stack.
constexpr int kMaxDepth = 64;
// Entity expansions allowed in one document. The service never sends a DTD,
// so a document with one is refused before its internal subset is read and no
// entity can be declared; this limit is the second line of defence.
constexpr XMLSize_t kEntityExpansionLimit = 1000;

// Thrown from the parser when a document type declaration begins, so that
// nothing of the DTD (content models, entities, an external subset) is
// processed. Not an XMLException: the scanner lets it pass to ParseBuffer.
struct DoctypeRefused {};

// The DOM parser of the context: refuses any document that has a DOCTYPE.
class FeedParser : public XercesDOMParser {
public:
    void doctypeDecl(const DTDElementDecl&, const XMLCh* const, const XMLCh* const, const bool,
                     const bool) override {
        throw DoctypeRefused{};
    }
};

int TreeDepthExceeds(const DOMNode* root, int limit) {
    // Iterative walk over the tree; true as soon as the limit is passed.
    int depth = 0;
    const DOMNode* node = root;
    while (node) {
        if (const DOMNode* child = node->getFirstChild()) {
            node = child;
            if (++depth > limit) {
                return true;
            }
            continue;
        }
        while (node && node != root && !node->getNextSibling()) {
            node = node->getParentNode();
            --depth;
        }
        if (!node || node == root) {
            break;
        }
        node = node->getNextSibling();
    }
    return false;
}

}  // namespace

// --- DOMTreeErrorReporter --------------------------------------------------

void DOMTreeErrorReporter::error(const SAXParseException& e) {
    sawErrors = true;
    Report("Error at file \"", e);
}

void DOMTreeErrorReporter::fatalError(const SAXParseException& e) {
    sawErrors = true;
    sawFatalErrors = true;
    Report("Fatal Error at file \"", e);
}

void DOMTreeErrorReporter::Report(const char* kind, const SAXParseException& e) {
    constexpr int kMaxReported = 20;
    if (!log_ || reported > kMaxReported) {
        return;
    }
    if (++reported > kMaxReported) {
        log_->Write(Utility::kLogError, "further XML errors of this document are not logged");
        return;
    }
    std::string text = kind;
    text += ToUtf8(e.getSystemId());
    text += "\", line " + std::to_string(e.getLineNumber());
    text += ", column " + std::to_string(e.getColumnNumber());
    text += "\n   Message: " + ToUtf8(e.getMessage());
    log_->Write(Utility::kLogError, text);
}

// --- the context -------------------------------------------------------------

XmlContext::Impl::Impl(Utility::CMaintenanceLog* log) : reporter(log) {
    parser = std::make_unique<FeedParser>();
    parser->setErrorHandler(&reporter);
    // Validation against a document's own DTD costs time exponential in its
    // content models; the protocol has no DTD, so nothing is validated.
    parser->setValidationScheme(XercesDOMParser::Val_Never);
    parser->setDoNamespaces(false);
    parser->setDoSchema(false);
    // A response is never allowed to pull in files or network resources.
    parser->setLoadExternalDTD(false);
    parser->setDisableDefaultEntityResolution(true);
    parser->setCreateEntityReferenceNodes(false);
    security.setEntityExpansionLimit(kEntityExpansionLimit);
    parser->setSecurityManager(&security);
    static const XMLCh kLs[] = {u'L', u'S', 0};
    DOMImplementation* impl = DOMImplementationRegistry::getDOMImplementation(kLs);
    serializer = static_cast<DOMImplementationLS*>(impl)->createLSSerializer();
}

XmlContext::Impl::~Impl() {
    parser.reset();
    if (serializer) {
        serializer->release();
    }
}

XmlContext::XmlContext(Utility::CMaintenanceLog* log) : log_(log) {
    {
        std::lock_guard<std::mutex> guard(g_platformLock);
        XMLPlatformUtils::Initialize();
    }
    impl_ = std::make_unique<Impl>(log);
}

XmlContext::~XmlContext() {
    impl_.reset();
    std::lock_guard<std::mutex> guard(g_platformLock);
    XMLPlatformUtils::Terminate();
}

// --- helpers -------------------------------------------------------------------

DOMElement* ParseBuffer(XmlContext& context, const char* data, size_t size, bool forceUtf8,
                        const char* expectedRoot, const char* who) {
    XmlContext::Impl& impl = context.GetImpl();
    impl.parser->resetDocumentPool();  // the previous document's memory goes now
    impl.reporter.resetErrors();
    MemBufInputSource source(reinterpret_cast<const XMLByte*>(data), size, kFakeBufferId, false);
    if (forceUtf8) {
        static const XMLCh kUtf8[] = {u'U', u'T', u'F', u'-', u'8', 0};
        source.setEncoding(kUtf8);
    }
    Utility::CMaintenanceLog* log = context.Log();
    try {
        impl.parser->parse(source);
    } catch (const DoctypeRefused&) {
        // The protocol never sends a DTD; one in a response is an attack or
        // a page that is not the service's.
        if (log) {
            log->Write(Utility::kLogError,
                       std::string(who) + ": the document has a DOCTYPE, which is refused");
        }
        impl.parser->resetDocumentPool();
        return nullptr;
    }
    if (impl.reporter.sawFatalErrors) {
        // A document cut short must not pass for a complete one.
        if (log) {
            log->Write(Utility::kLogError, std::string(who) + ": the document is not well-formed");
        }
        return nullptr;
    }
    DOMDocument* document = impl.parser->getDocument();
    DOMElement* root = document ? document->getDocumentElement() : nullptr;
    if (!root) {
        if (log) {
            log->Write(Utility::kLogError, std::string(who) + ": no document element");
        }
        return nullptr;
    }
    if (expectedRoot && !NameIs(root, expectedRoot)) {
        // An error page of a proxy or portal is no feed, even when it is
        // well-formed; read as an empty feed it would empty the store.
        if (log) {
            log->Write(Utility::kLogError, std::string(who) + ": the document is a " +
                                               ToUtf8(root->getNodeName()) + ", not a " +
                                               expectedRoot);
        }
        return nullptr;
    }
    if (TreeDepthExceeds(root, kMaxDepth)) {
        if (log) {
            log->Write(Utility::kLogError, std::string(who) + ": elements nested deeper than " +
                                               std::to_string(kMaxDepth) + " levels");
        }
        return nullptr;
    }
    return root;
}

std::string ToUtf8(const XMLCh* text) {
    return text ? platform::Utf16ToUtf8(text) : std::string();
}

std::u16string ToXml(const std::string& utf8) {
    return platform::Utf8ToUtf16(utf8);
}

bool NameIs(const DOMNode* node, const char* name) {
    const XMLCh* n = node->getNodeName();
    while (*n && *name && *n == static_cast<unsigned char>(*name)) {
        ++n;
        ++name;
    }
    return *n == 0 && *name == 0;
}

std::string Attr(const DOMElement* element, const XMLCh* name) {
    return ToUtf8(element->getAttribute(name));
}

bool HasAttr(const DOMElement* element, const XMLCh* name) {
    return element->hasAttribute(name);
}

void SetAttr(DOMElement* element, const char* name, const std::string& value) {
    const std::u16string key = ToXml(name);
    const std::u16string text = ToXml(value);
    element->setAttribute(key.c_str(), text.c_str());
}

std::string Text(const DOMNode* node) {
    return node ? ToUtf8(node->getTextContent()) : "";
}

DOMElement* ChildElement(const DOMNode* node, const char* name) {
    for (DOMNode* child = node->getFirstChild(); child; child = child->getNextSibling()) {
        if (child->getNodeType() == DOMNode::ELEMENT_NODE && NameIs(child, name)) {
            return static_cast<DOMElement*>(child);
        }
    }
    return nullptr;
}

std::string Serialize(XmlContext& context, const DOMNode* node) {
    XMLCh* text = context.GetImpl().serializer->writeToString(node);
    std::string out = ToUtf8(text);
    XMLString::release(&text);
    return out;
}

}  // namespace googledata
