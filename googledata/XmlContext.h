// googledata::XmlContext: the XML machinery the feed readers and the entry
// writer share: one DOM parser (no validation, namespaces off, a document
// with a DOCTYPE refused, so no DTD is read and no entity declared), its
// error reporter, which logs every error at "ERR!", and one serializer for
// writing single entries back to text.
//
// Owned by GoogleCalendarAPI and created with it; used by one thread at a
// time (the sync worker). Construction initialises the XML platform and
// destruction terminates it (counted, so several contexts may live at once).
#pragma once

#include <memory>

namespace Utility {
class CMaintenanceLog;
}

namespace googledata {

class XmlContext {
public:
    // `log` may be null (no logging); it is not owned.
    explicit XmlContext(Utility::CMaintenanceLog* log);
    ~XmlContext();
    XmlContext(const XmlContext&) = delete;
    XmlContext& operator=(const XmlContext&) = delete;

    Utility::CMaintenanceLog* Log() const { return log_; }

    // The Xerces objects; defined in googledata/XercesSupport.h, which only
    // the service client's own .cpp files include.
    struct Impl;
    Impl& GetImpl() { return *impl_; }

private:
    Utility::CMaintenanceLog* log_;
    std::unique_ptr<Impl> impl_;
};

}  // namespace googledata
