#pragma once

#include <locale.h>

// Makes the calling thread's character type UTF-8 while it lives, whatever the process's locale,
// for libraries that convert names through the locale's character set. The rest of the process
// keeps its locale.
class ScopedUtf8Ctype
{
public:
    ScopedUtf8Ctype()
        : m_utf8(newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr))),
          m_previous(m_utf8 ? uselocale(m_utf8) : static_cast<locale_t>(nullptr))
    {
    }
    ~ScopedUtf8Ctype()
    {
        if (m_utf8) {
            uselocale(m_previous);
            freelocale(m_utf8);
        }
    }
    ScopedUtf8Ctype(const ScopedUtf8Ctype&) = delete;
    ScopedUtf8Ctype& operator=(const ScopedUtf8Ctype&) = delete;

private:
    locale_t m_utf8;
    locale_t m_previous;
};
