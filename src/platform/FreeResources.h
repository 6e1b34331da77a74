#pragma once

// GetFreeSystemResources of the 16-bit user library, reached on Windows 9x through the flat
// thunk. Load answers which step of reaching it failed.
class FreeResources
{
public:
    enum class Step
    {
        Ok,
        UserLibrary,
        Function,
        Kernel32,
        QtThunk
    };

    virtual ~FreeResources() = default;

    virtual Step Load() = 0;
    // 0 = system, 1 = GDI, 2 = user; percent free.
    virtual int GetFreeSystemResources(int which) = 0;
};
