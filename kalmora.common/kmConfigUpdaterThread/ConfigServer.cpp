#include "ConfigManifest.h"
#include "UtilBox/Registry.h"

#include <cstdlib>
#include <optional>
#include <string_view>

namespace kalmora {

namespace {

constexpr std::string_view BuiltInBaseUrl = "http://config.kalmora.invalid/kmdata/kmconfig/";
constexpr std::string_view BaseUrlVariable = "KALMORA_CONFIG_BASE_URL";
constexpr std::string_view BasePathEnd = "/kmdata/kmconfig/";

bool IsAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsHost(std::string_view host) {
    if (host.empty())
        return false;
    if (host.front() == '[') {
        if (host.size() < 3 || host.back() != ']')
            return false;
        for (char c : host.substr(1, host.size() - 2))
            if (!IsAlnum(c) && c != ':' && c != '.')
                return false;
        return true;
    }
    for (char c : host)
        if (!IsAlnum(c) && c != '.' && c != '-')
            return false;
    return true;
}

bool IsPort(std::string_view port) {
    if (port.empty() || port.size() > 5)
        return false;
    long value = 0;
    for (char c : port) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535;
}

bool IsPath(std::string_view path) {
    constexpr std::string_view allowed = "-._~/%!$&'()*+,;=:@";
    for (char c : path)
        if (!IsAlnum(c) && allowed.find(c) == std::string_view::npos)
            return false;
    return path.ends_with(BasePathEnd);
}

// Only an http or https URL of the server's path layout is accepted: no credentials, no query, no fragment.
bool IsBaseUrl(std::string_view url) {
    auto scheme = url.find("://");
    if (scheme == std::string_view::npos ||
        (url.substr(0, scheme) != "http" && url.substr(0, scheme) != "https"))
        return false;
    url.remove_prefix(scheme + 3);
    auto slash = url.find('/');
    if (slash == std::string_view::npos)
        return false;
    std::string_view authority = url.substr(0, slash);
    std::string_view port;
    auto colon = authority.rfind(':');
    if (colon != std::string_view::npos && authority.find(']', colon) == std::string_view::npos) {
        port = authority.substr(colon + 1);
        authority = authority.substr(0, colon);
        if (!IsPort(port))
            return false;
    }
    return IsHost(authority) && IsPath(url.substr(slash));
}

struct TBaseUrlOverride {
    std::string source; // what the failure line names
    std::string url;
};

// The variable when it is set, else the machine-wide value; none when neither is set or both are empty.
std::optional<TBaseUrlOverride> BaseUrlOverride() {
    if (const char* value = std::getenv(std::string(BaseUrlVariable).c_str()); value && *value)
        return TBaseUrlOverride{std::string(BaseUrlVariable), value};
    TMachineSetting setting =
        ReadMachineSetting(std::string(ConfigBaseUrlSetting), std::string(ProductRegistryKey));
    if (setting.Present && (!setting.IsText || !setting.Text.empty()))
        return TBaseUrlOverride{"setting " + std::string(ConfigBaseUrlSetting), std::move(setting.Text)};
    return std::nullopt;
}

} // namespace

std::string ConfigBaseUrlProblem() {
    auto override = BaseUrlOverride();
    if (!override || IsBaseUrl(override->url))
        return {};
    return override->source +
           ": not of the form http[s]://HOST[:PORT]/.../kmdata/kmconfig/: " + override->url;
}

std::string ConfigBaseUrl() {
    auto override = BaseUrlOverride();
    if (!override)
        return std::string(BuiltInBaseUrl);
    // Never the production server in place of the one the override was meant to name.
    if (!IsBaseUrl(override->url))
        throw ENotConfigured(ConfigBaseUrlProblem());
    return override->url;
}

std::string ManifestUrl() {
    return ConfigBaseUrl() + "configinfo.xml";
}

} // namespace kalmora
