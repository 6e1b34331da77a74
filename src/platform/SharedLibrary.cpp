#include "platform/SharedLibrary.h"

#include <dlfcn.h>

SharedLibrary::SharedLibrary(const char* soname) : m_soname(QString::fromLatin1(soname))
{
    m_handle = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        const char* reason = dlerror();
        m_error = QStringLiteral("cannot load %1 (%2)")
                      .arg(m_soname, QString::fromLocal8Bit(reason ? reason : "not found"));
    }
}

void* SharedLibrary::Symbol(const char* name)
{
    void* symbol = m_handle ? dlsym(m_handle, name) : nullptr;
    if (!symbol && m_error.isEmpty())
        m_error = QStringLiteral("%1 lacks %2").arg(m_soname, QLatin1String(name));
    return symbol;
}
