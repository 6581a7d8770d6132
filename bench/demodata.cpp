// Fills the demo schema at scale for the export benchmark: N bills of one month with 1 to
// 40 items each, acts for a third of them, Cyrillic and Latin texts, some long enough to
// wrap on the bill. The same seed gives the same database.
//
// usage: demodata DEMO-SQL OUT-DB [--bills N] [--month YYYY-MM] [--seed S]
#include "db/sqltext.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <cstdio>
#include <random>

namespace {

[[noreturn]] void fail(const QString &what)
{
    std::fprintf(stderr, "demodata: %s\n", what.toLocal8Bit().constData());
    std::exit(1);
}

void exec(QSqlQuery &q, const QString &what)
{
    if (!q.exec())
        fail(what + QStringLiteral(": ") + q.lastError().text());
}

const QStringList kCompanyForms = {QStringLiteral("ООО"), QStringLiteral("АО"), QStringLiteral("ИП"),
                                   QStringLiteral("ПАО"), QStringLiteral("Oy"), QStringLiteral("Ltd")};
const QStringList kCompanyWords = {
    QStringLiteral("Северный ветер"), QStringLiteral("Тарнский молочный завод"), QStringLiteral("Лесная поляна"),
    QStringLiteral("СтройМонтажСервис"), QStringLiteral("Nordic Parts"), QStringLiteral("Lakeside Supplies"),
    QStringLiteral("Восток-Логистик"), QStringLiteral("Baltic Freight"), QStringLiteral("Уральские самоцветы"),
    QStringLiteral("Green Valley Foods"), QStringLiteral("Речной порт"), QStringLiteral("Омская упаковка")};
const QStringList kStreets = {QStringLiteral("г. Москва, ул. Лесная"), QStringLiteral("г. Омск, ул. Заводская"),
                              QStringLiteral("г. Подольск, пр-т Ленина"), QStringLiteral("Riga, Brivibas iela"),
                              QStringLiteral("Helsinki, Mannerheimintie"), QStringLiteral("г. Тверь, наб. Волги")};

struct Item {
    int category;
    const char *name;
    const char *unit;
    double price;
};

// Short and long names in every category; the long ones wrap in the bill's name column.
const Item kItems[] = {
    {1, "Монтаж стеллажей", "шт", 850.00},
    {1, "Консультация бухгалтера", "час", 1800.00},
    {1, "Техническое обслуживание погрузчика с заменой расходных материалов и проверкой "
        "гидравлической системы", "шт", 6400.00},
    {1, "Remote onboarding session", "hour", 2750.00},
    {1, "Inventory audit of the central warehouse, including cycle counts and a written report "
        "for the management board", "day", 12500.00},
    {1, "Пусконаладка", "час", 1650.00},
    {2, "Стеллаж металлический 2000×1000", "шт", 4200.00},
    {2, "Плёнка стрейч 500 мм", "рул", 389.00},
    {2, "Bearing 6205-2RS", "pcs", 212.40},
    {2, "Hydraulic hose 1/2\", reinforced, with crimped fittings on both ends and a pressure "
        "test certificate", "m", 118.00},
    {2, "Прокладки уплотнительные", "шт", 37.25},
    {2, "Этикетка термо 58×40", "рул", 96.50},
    {3, "Warehouse Manager, 1 seat", "lic", 7490.00},
    {3, "Route Planner Pro, annual", "lic", 3999.99},
    {3, "Офисный пакет, годовая подписка на все рабочие места филиала с технической поддержкой", "lic",
     5600.00},
    {4, "Доставка по Москве", "рейс", 2500.00},
    {4, "Freight to Helsinki", "trip", 9800.00},
    {4, "Доставка до склада покупателя с подъёмом на этаж и разгрузкой силами перевозчика", "рейс",
     18500.00},
};
const QStringList kNotes = {
    QStringLiteral("Оплата в течение 5 банковских дней."),
    QStringLiteral("Payment in EUR at the bank rate of the payment day."),
    QStringLiteral("Счёт действителен до конца месяца."), QStringLiteral("Доставка до склада покупателя включена.")};
const QStringList kSigners = {QStringLiteral("Смирнов П. Р."), QStringLiteral("J. Berzins"),
                              QStringLiteral("Ковалёва А. С."), QStringLiteral("M. Virtanen")};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int bills = 10000;
    QString month = QStringLiteral("2014-01");
    unsigned seed = 1;
    QStringList files;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&]() -> QString {
            if (i + 1 >= args.size())
                fail(a + QStringLiteral(" needs a value"));
            return args[++i];
        };
        if (a == QLatin1String("--bills"))
            bills = value().toInt();
        else if (a == QLatin1String("--month"))
            month = value();
        else if (a == QLatin1String("--seed"))
            seed = value().toUInt();
        else
            files << a;
    }
    if (files.size() != 2 || bills <= 0)
        fail(QStringLiteral("usage: demodata DEMO-SQL OUT-DB [--bills N] [--month YYYY-MM] [--seed S]"));

    QFile schema(files[0]);
    if (!schema.open(QIODevice::ReadOnly))
        fail(files[0] + QStringLiteral(": ") + schema.errorString());
    QFile::remove(files[1]);
    auto db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(files[1]);
    if (!db.open())
        fail(db.lastError().text());

    // The demo's own tables and its small data set; the generated bills replace its bills.
    QSqlQuery q(db);
    for (const QString &statement : tw::db::splitSqlStatements(QString::fromUtf8(schema.readAll()))) {
        if (!q.exec(statement))
            fail(QStringLiteral("demo schema: ") + q.lastError().text());
    }
    db.transaction();
    for (const char *table : {"acts", "bill_items", "bills", "customers"}) {
        if (!q.exec(QStringLiteral("delete from %1").arg(QLatin1String(table))))
            fail(q.lastError().text());
    }

    std::mt19937 rng(seed);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };

    const int customers = 200;
    q.prepare(QStringLiteral("insert into customers (id, name, inn, address) values (?, ?, ?, ?)"));
    for (int c = 1; c <= customers; ++c) {
        q.bindValue(0, c);
        q.bindValue(1, QStringLiteral("%1 «%2 %3»")
                           .arg(kCompanyForms[pick(kCompanyForms.size())], kCompanyWords[pick(kCompanyWords.size())])
                           .arg(c));
        q.bindValue(2, QString::number(7700000000LL + c * 7919LL));
        q.bindValue(3, QStringLiteral("%1, д. %2").arg(kStreets[pick(kStreets.size())]).arg(1 + pick(120)));
        exec(q, QStringLiteral("customer"));
    }

    QSqlQuery bill(db), item(db), act(db);
    bill.prepare(QStringLiteral("insert into bills (id, number, customer_id, bill_date, note) values (?, ?, ?, ?, ?)"));
    item.prepare(QStringLiteral(
        "insert into bill_items (bill_id, line_no, category_id, name, unit, qty, price) values (?, ?, ?, ?, ?, ?, ?)"));
    act.prepare(QStringLiteral("insert into acts (id, bill_id, number, act_date, signer) values (?, ?, ?, ?, ?)"));
    const int itemKinds = int(sizeof kItems / sizeof kItems[0]);
    for (int b = 1; b <= bills; ++b) {
        const int id = 100000 + b;
        const QString date = QStringLiteral("%1-%2").arg(month).arg(1 + (b - 1) * 28 / bills, 2, 10, QLatin1Char('0'));
        bill.bindValue(0, id);
        bill.bindValue(1, QStringLiteral("С-%1/%2").arg(month.left(4)).arg(b, 5, 10, QLatin1Char('0')));
        bill.bindValue(2, 1 + pick(customers));
        bill.bindValue(3, date);
        bill.bindValue(4, pick(4) == 0 ? QVariant(kNotes[pick(kNotes.size())]) : QVariant());
        exec(bill, QStringLiteral("bill"));

        const int lines = 1 + pick(40);
        for (int line = 1; line <= lines; ++line) {
            const Item &it = kItems[pick(itemKinds)];
            item.bindValue(0, id);
            item.bindValue(1, line);
            item.bindValue(2, it.category);
            item.bindValue(3, QString::fromUtf8(it.name));
            item.bindValue(4, QString::fromUtf8(it.unit));
            item.bindValue(5, double(1 + pick(40)) / (pick(3) == 0 ? 2.0 : 1.0));
            item.bindValue(6, it.price);
            exec(item, QStringLiteral("bill item"));
        }
        if (b % 3 == 0) {
            act.bindValue(0, 500000 + b);
            act.bindValue(1, id);
            act.bindValue(2, QStringLiteral("А-%1/%2").arg(month.left(4)).arg(b, 5, 10, QLatin1Char('0')));
            act.bindValue(3, date);
            act.bindValue(4, kSigners[pick(kSigners.size())]);
            exec(act, QStringLiteral("act"));
        }
    }
    if (!db.commit())
        fail(db.lastError().text());
    std::printf("%d bills of %s in %s\n", bills, month.toUtf8().constData(), files[1].toLocal8Bit().constData());
    return 0;
}
