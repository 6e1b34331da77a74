#pragma once

class FreeResources;

// The three free-resource percentages of Windows 9x.
struct TFreeResources
{
    int System = 0;
    int Gdi = 0;
    int User = 0;
};

// Raises, by the step that failed: "Faild to call User.exe", "Faild to call function",
// "Faild to call Kernel32.dll", "Faild to call QT_Thunk".
TFreeResources GetFreeResources(FreeResources& resources);
