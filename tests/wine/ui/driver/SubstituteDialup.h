#pragma once
// The substitute dial-up service (tools/substitute-rasapi32), steered through a control folder
// of its own: while one lives, programs started by the driver use that folder. The DLL goes
// beside the program by LaunchSettings::besideProgram (PELORIN_SUBSTITUTE_RAS names it).

#include "WinFiles.h"

#include <windows.h>

#include <string>

struct SubstituteDialup {
    std::string folder;
    SubstituteDialup() {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "pelorin-ras-" + std::to_string(GetCurrentProcessId()) + "\\";
        RemoveDirectoryTree(folder);
        CreateDirectoryA(folder.c_str(), nullptr);
        SetEnvironmentVariableA("PELORIN_RAS_CONTROL", folder.c_str());
    }
    SubstituteDialup(const SubstituteDialup&) = delete;
    SubstituteDialup& operator=(const SubstituteDialup&) = delete;
    ~SubstituteDialup() {
        SetEnvironmentVariableA("PELORIN_RAS_CONTROL", nullptr);
        RemoveDirectoryTree(folder);
    }
    void Control(const std::string& ini) const { WriteFileBytes(folder + "control.ini", ini); }
    // A count of state.ini's, -1 when it has none.
    int State(const char* section, const char* key) const {
        return static_cast<int>(GetPrivateProfileIntA(section, key, -1, (folder + "state.ini").c_str()));
    }
};
