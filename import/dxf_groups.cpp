#include "import/dxf_groups.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace qorvan::import::dxf {

double number(std::string_view v)
{
    const std::string s(v.substr(0, 64));
    char* end = nullptr;
    const double d = std::strtod(s.c_str(), &end);
    return std::isfinite(d) ? d : 0;
}

long integer(std::string_view v)
{
    const double d = number(v);
    return d > 2e9 ? 2000000000L : d < -2e9 ? -2000000000L : static_cast<long>(d);
}

std::string upper(std::string_view s)
{
    std::string u(s);
    for (char& c : u)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u;
}

std::string trimmed(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return std::string(s);
}

} // namespace qorvan::import::dxf
