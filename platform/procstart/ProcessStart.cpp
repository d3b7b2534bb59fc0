#include "ProcessStart.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <string>

namespace procstart {

std::int64_t startTicks(std::int64_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command name (field 2) may hold blanks and parentheses: fields are counted after the
    // last ')', starting with field 3, the state.
    const auto close = content.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::size_t pos = close + 1;
    for (int index = 3; pos < content.size(); ++index) {
        while (pos < content.size() && content[pos] == ' ')
            ++pos;
        const std::size_t end = content.find(' ', pos);
        const std::string_view field(content.data() + pos,
                                     (end == std::string::npos ? content.size() : end) - pos);
        if (index == 3 && (field == "Z" || field == "X"))
            return -1;
        if (index == 22) {
            std::int64_t ticks = -1;
            const auto [ptr, ec] = std::from_chars(field.data(), field.data() + field.size(), ticks);
            return ec == std::errc() && ptr == field.data() + field.size() ? ticks : -1;
        }
        if (end == std::string::npos)
            break;
        pos = end;
    }
    return -1;
}

} // namespace procstart
