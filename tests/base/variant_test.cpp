#include "base/formatsettings.h"
#include "base/variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <type_traits>

using namespace tw;

namespace {

constexpr int kIntMax = std::numeric_limits<int>::max();
constexpr int kIntMin = std::numeric_limits<int>::min();
constexpr qint64 kInt64Max = std::numeric_limits<qint64>::max();

// Number text in variants is read with the process settings; each test fixes them.
class VariantTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = FormatSettings::current();
        FormatSettings::setCurrent(FormatSettings::usEnglish());
    }
    void TearDown() override { FormatSettings::setCurrent(m_saved); }
    FormatSettings m_saved;
};

using BinaryOp = std::function<Variant(const Variant &, const Variant &)>;

// Either the exact result or the error text.
struct OpCase {
    const char *name;
    BinaryOp op;
    Variant a, b;
    Variant expected;
    const char *error = nullptr;
};

QString errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const Error &e) {
        return e.message();
    }
    return QString();
}

void runCases(const std::vector<OpCase> &cases)
{
    for (const OpCase &c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.a.debugText().toStdString() + ", " + c.b.debugText().toStdString());
        if (c.error) {
            EXPECT_EQ(errorOf([&] { c.op(c.a, c.b); }), QString::fromUtf8(c.error));
            continue;
        }
        const Variant r = c.op(c.a, c.b);
        EXPECT_TRUE(r.sameAs(c.expected)) << "got " << r.debugText().toStdString() << ", expected "
                                          << c.expected.debugText().toStdString();
    }
}

const char *const kStringToDouble = "Could not convert variant of type (String) into type (Double)";

TEST_F(VariantTest, ArithmeticTable)
{
    const Variant N = Variant::null();
    const Variant E;
    const Variant arr = Variant::arrayOf({1, 2});
    runCases({
        {"+", var::add, 1, 2, 3},
        {"+", var::add, kIntMax, 1, qint64(2147483648LL)},
        {"-", var::sub, kIntMin, 1, qint64(-2147483649LL)},
        {"*", var::mul, 65536, 65536, qint64(4294967296LL)},
        {"*", var::mul, 46340, 46340, 2147395600},
        {"+", var::add, kInt64Max, 1, 9223372036854775808.0},
        {"+", var::add, qint64(5), 1, qint64(6)},
        {"+", var::add, 1, 2.5, 3.5},
        {"-", var::sub, 10, 0.5, 9.5},
        {"+", var::add, "ab", "cd", "abcd"},
        {"+", var::add, "1", 2, 3.0},
        {"+", var::add, 2, "2.5", 4.5},
        {"*", var::mul, "3", "4", 12.0},
        {"-", var::sub, "10", "4", 6.0},
        {"+", var::add, "abc", 1, {}, kStringToDouble},
        {"*", var::mul, 2, "", {}, kStringToDouble},
        {"+", var::add, N, 1, N},
        {"+", var::add, "a", N, N},
        {"*", var::mul, N, N, N},
        {"/", var::divide, N, 0, N},
        {"div", var::intDiv, 1, N, N},
        {"+", var::add, E, 5, 5},
        {"+", var::add, E, E, 0},
        {"+", var::add, E, "x", "x"},
        {"+", var::add, "x", E, "x"},
        {"*", var::mul, E, 2.5, 0.0},
        {"+", var::add, true, 1, 0},
        {"+", var::add, true, true, -2},
        {"-", var::sub, false, 1, -1},
        {"/", var::divide, 7, 2, 3.5},
        {"/", var::divide, 6, 3, 2.0},
        {"/", var::divide, "1", 4, 0.25},
        {"/", var::divide, 1, 0, {}, "Floating point division by zero"},
        {"/", var::divide, 1.5, 0.0, {}, "Floating point division by zero"},
        {"/", var::divide, 0, 0, {}, "Invalid floating point operation"},
        {"div", var::intDiv, 7, 2, 3},
        {"div", var::intDiv, -7, 2, -3},
        {"div", var::intDiv, qint64(7), 2, qint64(3)},
        {"div", var::intDiv, 7.5, 2, 4},  // 7.5 rounds to 8
        {"div", var::intDiv, 6.5, 2, 3},  // 6.5 rounds to 6
        {"div", var::intDiv, "9", 2, 4},
        {"div", var::intDiv, kIntMin, -1, qint64(2147483648LL)},
        {"div", var::intDiv, 7, 0, {}, "Division by zero"},
        {"div", var::intDiv, 7, 0.4, {}, "Division by zero"},
        {"mod", var::mod, 7, 2, 1},
        {"mod", var::mod, -7, 2, -1},
        {"mod", var::mod, 7, -1, 0},
        {"mod", var::mod, 7, 0, {}, "Division by zero"},
        {"shl", var::shl, 1, 4, 16},
        {"shl", var::shl, 1, 31, kIntMin},
        {"shl", var::shl, qint64(1), 40, qint64(1099511627776LL)},
        {"shr", var::shr, 16, 2, 4},
        {"shr", var::shr, -1, 28, 15},
        {"and", var::logicalAnd, true, false, false},
        {"or", var::logicalOr, true, false, true},
        {"xor", var::logicalXor, true, true, false},
        {"and", var::logicalAnd, true, "True", true},
        {"or", var::logicalOr, E, true, true},
        {"and", var::logicalAnd, 12, 10, 8},
        {"or", var::logicalOr, 12, 3, 15},
        {"xor", var::logicalXor, 12, 10, 6},
        {"and", var::logicalAnd, true, 6, 6},
        {"and", var::logicalAnd, qint64(12), 10, qint64(8)},
        {"and", var::logicalAnd, N, true, N},
        {"+", var::add, arr, 1, {}, "Invalid variant operation"},
        {"=", [](const Variant &a, const Variant &b) { return Variant(var::equals(a, b)); }, arr, 1, {}, "Invalid variant operation"},
    });
}

TEST_F(VariantTest, UnaryOperations)
{
    EXPECT_TRUE(var::logicalNot(true).sameAs(false));
    EXPECT_TRUE(var::logicalNot(0).sameAs(-1));
    EXPECT_TRUE(var::logicalNot(qint64(0)).sameAs(qint64(-1)));
    EXPECT_TRUE(var::logicalNot("False").sameAs(true));
    EXPECT_TRUE(var::logicalNot(Variant::null()).isNull());
    EXPECT_TRUE(var::negate(5).sameAs(-5));
    EXPECT_TRUE(var::negate(kIntMin).sameAs(qint64(2147483648LL)));
    EXPECT_TRUE(var::negate(2.5).sameAs(-2.5));
    EXPECT_TRUE(var::negate("3").sameAs(-3.0));
    EXPECT_TRUE(var::negate(Variant::null()).isNull());
    EXPECT_EQ(errorOf([] { var::negate("x"); }), QString::fromUtf8(kStringToDouble));
}

TEST_F(VariantTest, StringNumbersFollowTheSettings)
{
    FormatSettings::setCurrent(FormatSettings::russian());
    EXPECT_TRUE(var::add("2,5", 1).sameAs(3.5));
    EXPECT_TRUE(var::add("2.5", 1).sameAs(3.5));
    EXPECT_EQ(Variant(2.5).toString(), QStringLiteral("2,5"));
    EXPECT_TRUE(var::add("x", Variant(2.5).toString()).sameAs("x2,5"));
    FormatSettings::setCurrent(FormatSettings::usEnglish());
    EXPECT_EQ(errorOf([] { var::add("2,5", 1); }), QString::fromUtf8(kStringToDouble));
    EXPECT_EQ(Variant(2.5).toString(), QStringLiteral("2.5"));
    EXPECT_EQ(Variant(2.5).toString(FormatSettings::russian()), QStringLiteral("2,5"));
}

struct CompareCase {
    Variant a, b;
    var::Order expected;
};

TEST_F(VariantTest, ComparisonTable)
{
    using O = var::Order;
    const Variant N = Variant::null();
    const Variant E;
    static int target = 0;
    Object *someObject = reinterpret_cast<Object *>(&target);
    const CompareCase cases[] = {
        {1, 1.0, O::Equal},
        {1, 2, O::Less},
        {qint64(5), 5, O::Equal},
        {2.5, 2, O::Greater},
        {kInt64Max, 9223372036854775808.0, O::Less},
        {"abc", "abc", O::Equal},
        {"abc", "abd", O::Less},
        {"B", "a", O::Less},
        {"a", "A", O::Greater},
        {"10", 9, O::Greater},
        {"10", "9", O::Less},
        {"2.5", 2.5, O::Equal},
        {N, N, O::Equal},
        {N, 0, O::Less},
        {0, N, O::Greater},
        {N, E, O::Less},
        {N, "", O::Less},
        {"", N, O::Greater},
        {E, E, O::Equal},
        {E, 0, O::Equal},
        {E, "", O::Equal},
        {E, "a", O::Less},
        {E, false, O::Equal},
        {true, false, O::Greater},
        {true, -1, O::Equal},
        {false, 0, O::Equal},
        {true, "true", O::Equal},
        {Variant::fromObject(nullptr), 0, O::Equal},
        {Variant::fromObject(nullptr), E, O::Equal},
        {Variant::fromObject(someObject), Variant::fromObject(someObject), O::Equal},
        {Variant::fromObject(someObject), Variant::fromObject(nullptr), O::Greater},
        {std::nan(""), 1, O::Unordered},
    };
    for (const CompareCase &c : cases) {
        SCOPED_TRACE(c.a.debugText().toStdString() + " vs " + c.b.debugText().toStdString());
        EXPECT_EQ(var::compare(c.a, c.b), c.expected);
        EXPECT_EQ(var::equals(c.a, c.b), c.expected == O::Equal);
        EXPECT_EQ(var::less(c.a, c.b), c.expected == O::Less);
        EXPECT_EQ(var::greater(c.a, c.b), c.expected == O::Greater);
        EXPECT_EQ(var::lessOrEqual(c.a, c.b), c.expected == O::Less || c.expected == O::Equal);
        EXPECT_EQ(var::greaterOrEqual(c.a, c.b), c.expected == O::Greater || c.expected == O::Equal);
    }
    EXPECT_EQ(errorOf([] { var::equals("abc", 1); }), QString::fromUtf8(kStringToDouble));
    EXPECT_EQ(errorOf([] { var::less(true, "maybe"); }),
              QStringLiteral("Could not convert variant of type (String) into type (Boolean)"));
}

TEST_F(VariantTest, ConversionsAndTheirErrors)
{
    struct IntCase {
        Variant v;
        std::optional<int> expected;
        const char *error;
    };
    const IntCase ints[] = {
        {2.5, 2, nullptr},
        {3.5, 4, nullptr},
        {-2.5, -2, nullptr},
        {2.6, 3, nullptr},
        {"42", 42, nullptr},
        {" $10 ", 16, nullptr},
        {"2.5", 2, nullptr},
        {true, -1, nullptr},
        {Variant(), 0, nullptr},
        {Variant::fromObject(nullptr), 0, nullptr},
        {Variant::null(), std::nullopt, "Could not convert variant of type (Null) into type (Integer)"},
        {"abc", std::nullopt, "Could not convert variant of type (String) into type (Integer)"},
        {qint64(1) << 40, std::nullopt, "Variant overflow"},
        {1e10, std::nullopt, "Variant overflow"},
        {std::nan(""), std::nullopt, "Variant overflow"},
        {Variant::arrayOf({1}), std::nullopt, "Could not convert variant of type (Array Variant) into type (Integer)"},
    };
    for (const IntCase &c : ints) {
        SCOPED_TRACE(c.v.debugText().toStdString());
        if (c.expected) {
            EXPECT_EQ(c.v.toInt(), *c.expected);
        } else {
            EXPECT_EQ(errorOf([&] { c.v.toInt(); }), QString::fromUtf8(c.error));
        }
    }

    EXPECT_EQ(Variant(1e15).toInt64(), qint64(1000000000000000LL));
    EXPECT_DOUBLE_EQ(Variant("1e3").toDouble(), 1000.0);
    EXPECT_DOUBLE_EQ(Variant(true).toDouble(), -1.0);
    EXPECT_EQ(errorOf([] { Variant::null().toDouble(); }),
              QStringLiteral("Could not convert variant of type (Null) into type (Double)"));

    EXPECT_TRUE(Variant("true").toBool());
    EXPECT_FALSE(Variant("FALSE").toBool());
    EXPECT_FALSE(Variant("0").toBool());
    EXPECT_TRUE(Variant("2").toBool());
    EXPECT_FALSE(Variant(0.0).toBool());
    EXPECT_FALSE(Variant().toBool());
    EXPECT_EQ(errorOf([] { Variant("abc").toBool(); }),
              QStringLiteral("Could not convert variant of type (String) into type (Boolean)"));
    EXPECT_THROW(Variant::null().toBool(), EVariantError);

    EXPECT_EQ(Variant(true).toString(), QStringLiteral("True"));
    EXPECT_EQ(Variant(qint64(-9000000000LL)).toString(), QStringLiteral("-9000000000"));
    EXPECT_EQ(Variant(1e20).toString(), QStringLiteral("1E20"));
    EXPECT_EQ(Variant().toString(), QString());
    EXPECT_EQ(errorOf([] { Variant::null().toString(); }),
              QStringLiteral("Could not convert variant of type (Null) into type (String)"));
    EXPECT_EQ(Variant::null().toText(), QString());
    EXPECT_EQ(Variant(7).toText(), QStringLiteral("7"));

    EXPECT_EQ(Variant(0).toObject(), nullptr);
    EXPECT_EQ(Variant::null().toObject(), nullptr);
    EXPECT_THROW(Variant(5).toObject(), EVariantError);
    EXPECT_THROW(Variant("x").toObject(), EVariantError);
}

TEST_F(VariantTest, KindsAndVarTypeCodes)
{
    struct KindCase {
        Variant v;
        Variant::Kind kind;
        int code;
    };
    const KindCase cases[] = {
        {Variant(), Variant::Kind::Empty, 0},
        {Variant::null(), Variant::Kind::Null, 1},
        {true, Variant::Kind::Boolean, 11},
        {7, Variant::Kind::Int32, 3},
        {qint64(7), Variant::Kind::Int64, 20},
        {std::int64_t(7), Variant::Kind::Int64, 20},
        {7u, Variant::Kind::Int32, 3},
        {4000000000u, Variant::Kind::Int64, 20},
        {std::numeric_limits<quint64>::max(), Variant::Kind::Double, 5},
        {7.0, Variant::Kind::Double, 5},
        {"s", Variant::Kind::String, 256},
        {QChar(u'ж'), Variant::Kind::String, 256},
        {u'ж', Variant::Kind::String, 256},
        {Variant::arrayOf({1}), Variant::Kind::Array, 0x2000 | 12},
        {Variant::fromObject(nullptr), Variant::Kind::Object, 20},
    };
    for (const KindCase &c : cases) {
        EXPECT_EQ(c.v.kind(), c.kind) << c.v.debugText().toStdString();
        EXPECT_EQ(c.v.varType(), c.code) << c.v.debugText().toStdString();
    }
    // A pointer that is not an object must not turn into a Boolean silently.
    static_assert(!std::is_constructible_v<Variant, int *>);
    static_assert(std::is_constructible_v<Variant, Object *>);
    EXPECT_EQ(Variant(QChar(u'ж')).toString(), QStringLiteral("ж"));
    EXPECT_EQ(Variant("жук").toString(), QStringLiteral("жук"));
}

TEST_F(VariantTest, ArraysHaveBoundsAndCheckIndexes)
{
    Variant a = Variant::array({{1, 3}});
    EXPECT_EQ(a.dimCount(), 1);
    EXPECT_EQ(a.bound(1).low, 1);
    EXPECT_EQ(a.bound(1).high, 3);
    EXPECT_EQ(a.elementCount(), 3);
    EXPECT_TRUE(a.at({2}).isEmpty());
    a.at({1}) = 10;
    a.at({3}) = "c";
    EXPECT_TRUE(a.at({1}).sameAs(10));
    EXPECT_TRUE(a.elements().at(2).sameAs("c"));
    for (int bad : {0, 4}) {
        EXPECT_EQ(errorOf([&] { a.at({bad}); }), QStringLiteral("Variant or safe array index out of bounds")) << bad;
    }
    EXPECT_EQ(errorOf([&] { a.at({1, 1}); }), QStringLiteral("Variant or safe array index out of bounds"));

    Variant grid = Variant::array({{0, 1}, {1, 3}});
    EXPECT_EQ(grid.dimCount(), 2);
    EXPECT_EQ(grid.elementCount(), 6);
    grid.at({1, 3}) = "last";
    grid.at({0, 1}) = "first";
    EXPECT_TRUE(grid.elements().front().sameAs("first"));
    EXPECT_TRUE(grid.elements().back().sameAs("last"));
    EXPECT_TRUE(grid.at({1, 3}).sameAs("last"));

    EXPECT_EQ(Variant::arrayOf({}).bound(1).high, -1);
    EXPECT_EQ(Variant::array({{5, 4}}).elementCount(), 0);
    EXPECT_EQ(errorOf([] { Variant::array({{3, 1}}); }), QStringLiteral("Error creating variant or safe array"));
    EXPECT_EQ(errorOf([] { Variant::array({}); }), QStringLiteral("Error creating variant or safe array"));
    // A size that would exhaust memory is refused, not attempted.
    EXPECT_THROW(Variant::array({{0, 100000}, {0, 100000}}), EVariantError);
    EXPECT_EQ(errorOf([] { Variant(5).dimCount(); }), QStringLiteral("Variant is not an array"));
    EXPECT_THROW(a.bound(2), EVariantError);
}

TEST_F(VariantTest, ArraysAreCopiedOnWrite)
{
    Variant a = Variant::arrayOf({1, 2, 3});
    Variant b = a;
    b.at({0}) = 99;
    EXPECT_TRUE(a.at({0}).sameAs(1));
    EXPECT_TRUE(b.at({0}).sameAs(99));

    // Nested arrays are values too.
    Variant outer = Variant::arrayOf({Variant::arrayOf({"x"})});
    Variant copy = outer;
    copy.at({0}).at({0}) = "y";
    EXPECT_TRUE(outer.at({0}).at({0}).sameAs("x"));
    EXPECT_TRUE(copy.at({0}).at({0}).sameAs("y"));

    Variant c = a;
    c.redim(4);
    EXPECT_EQ(a.elementCount(), 3);
    EXPECT_EQ(c.elementCount(), 5);
    EXPECT_TRUE(c.at({2}).sameAs(3));
    EXPECT_TRUE(c.at({4}).isEmpty());
    c.redim(0);
    EXPECT_EQ(c.elementCount(), 1);
    EXPECT_TRUE(c.at({0}).sameAs(1));
    EXPECT_THROW(c.redim(-2), EVariantError);
}

TEST_F(VariantTest, RedimOfTheLastDimensionKeepsEveryRow)
{
    Variant g = Variant::array({{0, 1}, {0, 1}});
    g.at({0, 0}) = "a";
    g.at({0, 1}) = "b";
    g.at({1, 0}) = "c";
    g.at({1, 1}) = "d";
    g.redim(2);
    EXPECT_EQ(g.bound(2).high, 2);
    EXPECT_TRUE(g.at({0, 1}).sameAs("b"));
    EXPECT_TRUE(g.at({1, 0}).sameAs("c"));
    EXPECT_TRUE(g.at({1, 1}).sameAs("d"));
    EXPECT_TRUE(g.at({1, 2}).isEmpty());
    g.redim(0);
    EXPECT_TRUE(g.at({1, 0}).sameAs("c"));
    EXPECT_EQ(g.elementCount(), 2);
}

TEST_F(VariantTest, SameAsIsExactIdentity)
{
    EXPECT_FALSE(Variant(1).sameAs(qint64(1)));
    EXPECT_FALSE(Variant(1).sameAs(1.0));
    EXPECT_TRUE(Variant(std::nan("")).sameAs(std::nan("")));
    EXPECT_TRUE(Variant::arrayOf({1, "a"}).sameAs(Variant::arrayOf({1, "a"})));
    EXPECT_FALSE(Variant::arrayOf({1, "a"}).sameAs(Variant::arrayOf({1, "b"})));
    EXPECT_FALSE(Variant::array({{1, 2}}).sameAs(Variant::array({{0, 1}})));
}

} // namespace
