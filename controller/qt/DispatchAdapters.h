// The real collaborators of the dispatch window behind its ports
// (DispatchPorts.h): the calendar manager and the calendar window registry.
// Made by the application object on the user-interface thread and handed to
// the dispatch window, which owns them.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "controller/qt/DispatchPorts.h"

namespace Model {
class CCalendarStyleInfo;
class CConfigInfo;
class CManiacOption;
}  // namespace Model
namespace Utility {
class CMaintenanceLog;
}

namespace Controller {

// The calendar manager over the configuration file and the data folder.
std::unique_ptr<IDispatchManager> MakeDispatchManager(const std::string& configPath,
                                                      const std::string& dataFolder);

// The registry of calendar windows (Model::CCalendarWndManager); its windows
// read through `manager`'s window source and copy `style`, which the style
// dialogs opened from the windows load and edit.
std::unique_ptr<ICalendarWindows> MakeCalendarWindows(IDispatchManager& manager,
                                                      Model::CConfigInfo& config,
                                                      const Model::CManiacOption& maniac,
                                                      Model::CCalendarStyleInfo* style,
                                                      Utility::CMaintenanceLog* log);

// Fetches the version page with a plain GET (no service headers), applying
// the configuration's proxy and extra CA file. Runs on the checking thread.
std::function<bool(const std::string& url, std::string& body, int& httpCode)>
MakeVersionPageFetcher(const Model::CConfigInfo& config, const std::string& dataFolder);

}  // namespace Controller
