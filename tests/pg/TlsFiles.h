// Certificates for the TLS tests of this program (tls_test.cpp).
#pragma once

#include <string>

#include "tests/support/Fixture.h"

// A file's whole content.
std::string Slurp(const std::string& path);
// In dir: a CA (ca.crt), a server certificate it signs for 127.0.0.1 and localhost
// (server.crt, server.key), and an unrelated CA (other.crt).
bool MakeCertificates(const TempDir& dir);
