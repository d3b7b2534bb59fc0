#pragma once
// The desktop sets the C library's locale from the environment, and libraries that speak a
// fixed format through the C library follow it: under an Italian locale printf writes 1234,5
// (libxlsxwriter writes cell values and column widths that way into the workbook's XML); under
// a Turkish one strcasecmp does not match "DRIVER" with "Driver" (the ODBC driver manager reads
// connection strings that way). While an instance lives, the C library on this thread reads and
// writes numbers in the C conventions and folds case in ASCII, keeping UTF-8 text; other
// threads are untouched.

#include <clocale>
#include <locale.h>

namespace scadlav {

class ScopedPlainLocale {
public:
    ScopedPlainLocale() {
        locale_t plain = duplocale(LC_GLOBAL_LOCALE);
        if (!plain)
            return;
        if (locale_t numbers = newlocale(LC_NUMERIC_MASK, "C", plain))
            plain = numbers;
        // C.UTF-8: ASCII case and UTF-8 characters; where the system lacks it, the character
        // rules stay the machine's.
        if (locale_t characters = newlocale(LC_CTYPE_MASK, "C.UTF-8", plain))
            plain = characters;
        m_plain = plain;
        m_previous = uselocale(m_plain);
    }
    ~ScopedPlainLocale() {
        if (!m_plain)
            return;
        uselocale(m_previous);
        freelocale(m_plain);
    }
    ScopedPlainLocale(const ScopedPlainLocale&) = delete;
    ScopedPlainLocale& operator=(const ScopedPlainLocale&) = delete;

private:
    locale_t m_plain = nullptr;
    locale_t m_previous = nullptr;
};

} // namespace scadlav
