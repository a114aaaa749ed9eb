// Model::CManiacOption: the advanced switches of "maniac.ini", loaded once at
// start-up on the user-interface thread and read-only after that. The file is
// edited by hand; the program never writes it.
#pragma once

#include <string>

namespace Model {

class CManiacOption {
public:
    void Load(const std::string& path);

    int hideTaskTrayIcon = 0;
    int showBottomBar = 0;
    int disableTransparencyWhileMouseOver = 0;
};

}  // namespace Model
