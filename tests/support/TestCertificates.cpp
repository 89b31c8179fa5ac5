#include "TestCertificates.h"

#include "ToolProcess.h"

#include <stdexcept>
#include <vector>

namespace kalmora::test {

namespace {

constexpr const char* OpenSslProgram = "/usr/bin/openssl";

void Req(std::vector<std::string> args, const std::string& base) {
    std::vector<std::string> all{
        "req",        "-x509", "-newkey", "ec",      "-pkeyopt",    "ec_paramgen_curve:prime256v1",
        "-nodes",     "-days", "2",       "-keyout", base + ".key", "-out",
        base + ".pem"};
    all.insert(all.end(), args.begin(), args.end());
    TToolRun run = RunProgram(OpenSslProgram, all);
    if (run.Exit != 0)
        throw std::runtime_error("openssl req failed for " + base + ": " + run.Err);
}

} // namespace

TCertificateFiles MakeTestCa(const std::string& base, const std::string& commonName) {
    Req({"-subj", "/CN=" + commonName, "-addext", "basicConstraints=critical,CA:TRUE", "-addext",
         "keyUsage=critical,keyCertSign,cRLSign"},
        base);
    return {base + ".pem", base + ".key"};
}

TCertificateFiles MakeServerCertificate(const std::string& base, const TCertificateFiles& ca,
                                        const std::string& subjectAltName) {
    Req({"-subj", "/CN=Kalmora Test Server", "-CA", ca.certificate, "-CAkey", ca.key, "-addext",
         "subjectAltName=" + subjectAltName, "-addext", "basicConstraints=critical,CA:FALSE", "-addext",
         "extendedKeyUsage=serverAuth"},
        base);
    return {base + ".pem", base + ".key"};
}

} // namespace kalmora::test
