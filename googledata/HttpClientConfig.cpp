// HttpClient::ApplyConfig lives apart from the transport so that programs
// which never read the configuration do not link the configuration store.
#include "app/ConfigInfo.h"
#include "googledata/HttpClient.h"
#include "platform/TextConv.h"

namespace googledata {

void HttpClient::ApplyConfig(const Model::CConfigInfo& config) {
    if (config.IsProxyEnabled()) {
        SetProxy(platform::WideToUtf8(config.GetProxy()),
                 platform::WideToUtf8(config.GetProxyUser()),
                 platform::WideToUtf8(config.GetProxyPassword()));
    } else {
        SetProxy("", "", "");
    }
    SetExtraCaFile(config.GetExtraCaFile());
}

}  // namespace googledata
