#pragma once

#include "db/database.h"

#include <cstdio>

namespace tw::db {

// The login prompt of headless runs. The password comes from TARNWELL_PASSWORD (and the
// user from TARNWELL_USER when set); otherwise, when the input is a terminal, both are
// asked there, the password without echo. With neither, ask() raises tw::Error.
class TerminalLoginPrompt : public LoginPrompt {
public:
    explicit TerminalLoginPrompt(std::FILE *in = stdin, std::FILE *out = stderr)
        : m_in(in), m_out(out) {}
    bool ask(QString &userName, QString &password) override;

private:
    std::FILE *m_in;
    std::FILE *m_out;
};

} // namespace tw::db
