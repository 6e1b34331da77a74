#pragma once

#include <QString>

// A shared library loaded when first needed instead of at start-up, for the parts of the
// program most runs never use; every library the process maps costs resident memory for the
// whole run. Loaded once and kept for the rest of the run.
class SharedLibrary
{
public:
    // Loads the library by its soname; check Loaded() and Error().
    explicit SharedLibrary(const char* soname);
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    bool Loaded() const { return m_handle != nullptr; }
    // Why the library or the first missing function could not be had; empty while all is well.
    QString Error() const { return m_error; }

    // Sets function to the library's symbol; false, and Error() names it, when it is missing.
    template <typename Function>
    bool Resolve(const char* name, Function& function)
    {
        function = reinterpret_cast<Function>(Symbol(name));
        return function != nullptr;
    }

private:
    void* Symbol(const char* name);

    QString m_soname;
    void* m_handle = nullptr;
    QString m_error;
};
