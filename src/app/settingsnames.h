#pragma once

#include <QString>

namespace tw::app::settings {

// The settings file in the program's directory and the names in it.
inline QString fileName() { return QStringLiteral("Tarnwell.ini"); }

inline QString sectionSettings() { return QStringLiteral("Настройки"); }
inline QString sectionReports() { return QStringLiteral("Отчеты"); }

inline QString keyType() { return QStringLiteral("Тип"); }
inline QString keyQueryDir() { return QStringLiteral("КаталогЗапросов"); }
inline QString keyOutputDir() { return QStringLiteral("КаталогОтчетов"); }
inline QString keyDatabase() { return QStringLiteral("БД"); }
inline QString keyServer() { return QStringLiteral("Сервер"); }
inline QString keyLogin() { return QStringLiteral("Логин"); }
inline QString keySchema() { return QStringLiteral("Схема"); }
// The ODBC driver the database layer uses instead of its own choice for the server type.
inline QString keyOdbcDriver() { return QStringLiteral("ODBCДрайвер"); }

} // namespace tw::app::settings
