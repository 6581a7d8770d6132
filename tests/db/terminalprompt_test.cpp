#include "base/error.h"
#include "db/database.h"
#include "db/dbtest.h"

#include <cstdio>
#include <gtest/gtest.h>

using namespace tw::db;

namespace {

// Sets or clears environment variables for one test and puts them back afterwards.
class EnvGuard {
public:
    explicit EnvGuard(const char *name) : m_name(name), m_had(qEnvironmentVariableIsSet(name)),
        m_old(qgetenv(name)) {}
    ~EnvGuard()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
};

TEST(TerminalLoginPromptTest, PasswordFromEnvironmentKeepsOrReplacesTheUser)
{
    EnvGuard pw("TARNWELL_PASSWORD"), user("TARNWELL_USER");
    qputenv("TARNWELL_PASSWORD", "s;cret");
    qunsetenv("TARNWELL_USER");
    TerminalLoginPrompt prompt;
    QString name = QStringLiteral("ivanov"), password;
    EXPECT_TRUE(prompt.ask(name, password));
    EXPECT_EQ(name, "ivanov");
    EXPECT_EQ(password, "s;cret");

    qputenv("TARNWELL_USER", "petrov");
    EXPECT_TRUE(prompt.ask(name, password));
    EXPECT_EQ(name, "petrov");
}

TEST(TerminalLoginPromptTest, NoPasswordAndNoTerminalIsAClearError)
{
    EnvGuard pw("TARNWELL_PASSWORD");
    qunsetenv("TARNWELL_PASSWORD");
    std::FILE *in = std::tmpfile(); // not a terminal
    ASSERT_NE(in, nullptr);
    TerminalLoginPrompt prompt(in, stderr);
    QString name, password;
    try {
        prompt.ask(name, password);
        ADD_FAILURE() << "asked without a terminal";
    } catch (const tw::Error &e) {
        EXPECT_TRUE(e.message().contains(QLatin1String("TARNWELL_PASSWORD")));
    }
    std::fclose(in);
}

} // namespace
