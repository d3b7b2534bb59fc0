#pragma once
// A machine locale for a test: the process's C locale switched, the way the desktop sets it from
// the environment, to a language whose conventions differ from C's (Italian: the decimal comma;
// Turkish: 'i' and 'I' are not each other's case). A locale the system lacks is compiled with
// localedef into a shared temporary folder (LOCPATH) when the locale sources are installed
// (package locales); otherwise active() is false and the test should skip.

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace scadlav::testing {

class MachineLocale {
public:
    MachineLocale(const MachineLocale&) = delete;
    MachineLocale& operator=(const MachineLocale&) = delete;

    // name: language_TERRITORY.CHARMAP, e.g. "it_IT.UTF-8"
    explicit MachineLocale(const std::string& name) {
        if (const char* current = std::setlocale(LC_ALL, nullptr))
            m_previous = current;
        // Once LOCPATH is set the system's locales are no longer looked at, and a name looked
        // up there before it was compiled stays unknown to the process: compile first.
        if (!std::getenv("LOCPATH") && std::setlocale(LC_ALL, name.c_str()))
            m_active = true;
        else
            m_active = compile(name) && retry(name);
    }
    ~MachineLocale() {
        if (m_active)
            std::setlocale(LC_ALL, m_previous.c_str());
    }
    bool active() const { return m_active; }

private:
    static std::filesystem::path folder() {
        return std::filesystem::temp_directory_path() / "scadlav-test-locales";
    }

    // Compiled into a folder of this process's, then renamed into place: processes compiling the
    // same locale at once never see half of one.
    static bool compile(const std::string& name) {
        const auto dot = name.find('.');
        if (dot == std::string::npos)
            return false;
        const std::filesystem::path target = folder() / name;
        std::error_code ignored;
        if (std::filesystem::exists(target / "LC_CTYPE", ignored))
            return true;
        const std::filesystem::path own = folder() / (name + ".part" + std::to_string(getpid()));
        std::filesystem::create_directories(folder(), ignored);
        const std::string command = "localedef -i " + name.substr(0, dot) + " -f " + name.substr(dot + 1) +
                                    " '" + own.string() + "' >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        // localedef warns about some locale sources and still writes a usable locale (status 1).
        if (status == -1 || !std::filesystem::exists(own / "LC_CTYPE", ignored)) {
            std::filesystem::remove_all(own, ignored);
            return false;
        }
        std::filesystem::rename(own, target, ignored);
        if (ignored) // another process got there first
            std::filesystem::remove_all(own, ignored);
        return std::filesystem::exists(target / "LC_CTYPE", ignored);
    }

    static bool retry(const std::string& name) {
        setenv("LOCPATH", folder().c_str(), 1);
        return std::setlocale(LC_ALL, name.c_str()) != nullptr;
    }

    std::string m_previous = "C";
    bool m_active = false;
};

} // namespace scadlav::testing
