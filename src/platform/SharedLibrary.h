#pragma once

#include <QString>

#include <optional>

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

// A table of a library's functions, kept only when every one of them resolved, and why not.
template <typename Table>
struct LoadedFunctions
{
    std::optional<Table> Functions;
    QString Error;

    const Table* Get() const { return Functions ? &*Functions : nullptr; }
};

// Lets `resolve(library, table)` fill a table from the library; it answers whether it found all.
template <typename Table, typename Resolve>
LoadedFunctions<Table> LoadFunctions(SharedLibrary& library, Resolve resolve)
{
    LoadedFunctions<Table> loaded;
    Table table{};
    if (resolve(library, table))
        loaded.Functions = table;
    loaded.Error = library.Error();
    return loaded;
}
