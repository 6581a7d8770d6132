#pragma once

#include <QString>
#include <exception>

namespace tw {

// Every error of the system is an exception carrying a text; named error classes derive from it.
class Error : public std::exception {
public:
    explicit Error(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString &message() const noexcept { return m_message; }
    // The class name scripts see in "ExceptionClassName".
    virtual QString className() const { return QStringLiteral("Exception"); }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

#define TW_DECLARE_ERROR(Name, Base)                                                     \
    class Name : public Base {                                                           \
    public:                                                                              \
        using Base::Base;                                                                \
        QString className() const override { return QStringLiteral(#Name); }             \
    };

// Raised by variant conversions and operations that have no meaning for the operands.
TW_DECLARE_ERROR(EVariantError, Error)
// Raised by file and I/O operations.
TW_DECLARE_ERROR(EInOutError, Error)
// Raised by text-to-number and text-to-date conversions.
TW_DECLARE_ERROR(EConvertError, Error)

} // namespace tw
