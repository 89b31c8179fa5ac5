#pragma once

// Certificates for TLS tests, made at test time with `openssl req` (Debian's openssl): a CA of the test's
// own, and server certificates it signs. Keys are P-256, valid for two days.
//
//     TTestFolder folder;
//     auto ca = MakeTestCa(folder / "ca");                       // ca.pem / ca.key
//     auto server = MakeServerCertificate(folder / "server", ca); // for IP 127.0.0.1
//     TNginxServer nginx(root, server);
//     ... the client trusts ca.certificate ...

#include "NginxServer.h"

#include <string>

namespace kalmora::test {

// A self-signed CA: `base`.pem and `base`.key. Raises std::runtime_error with openssl's words on failure.
TCertificateFiles MakeTestCa(const std::string& base, const std::string& commonName = "Kalmora Test CA");

// A server certificate signed by `ca` for `subjectAltName` (openssl's form: "IP:127.0.0.1",
// "DNS:example.invalid"): `base`.pem and `base`.key.
TCertificateFiles MakeServerCertificate(const std::string& base, const TCertificateFiles& ca,
                                        const std::string& subjectAltName = "IP:127.0.0.1");

} // namespace kalmora::test
