// Loops typical of template scripts, run by the script interpreter and, as the reference,
// by Lua 5.4 in the same process.
#include "base/metadata.h"
#include "script/interpreter.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <lua5.4/lua.hpp>

#include <cstdio>

using namespace tw;

namespace {

constexpr int kLoops = 100000;
constexpr int kStringLoops = 20000;
constexpr int kRows = 100000;

// A dataset-like host object: First, Next, Eof and the current value.
class BenchDataset : public Object {
public:
    int row = 0;
    int rows = kRows;
    void First() { row = 0; }
    void Next() { ++row; }
    bool Eof() const { return row >= rows; }
    int Value() const { return row % 10; }
};

void addTypes(TfsScript &s)
{
    s.AddType(QStringLiteral("Integer"), fvtInt);
    s.AddType(QStringLiteral("String"), fvtString);
    s.AddType(QStringLiteral("Boolean"), fvtBool);
    s.AddType(QStringLiteral("Variant"), fvtVariant);
}

struct Script {
    TfsScript s;
    BenchDataset ds;

    explicit Script(const char *text)
    {
        addTypes(s);
        TfsClassVariable *c = s.AddClass(QStringLiteral("TBenchDataset"), QString());
        c->AddMethod(QStringLiteral("procedure First"), [](Object *o, const ClassInfo *, const QString &, QVector<Variant> &) {
            static_cast<BenchDataset *>(o)->First();
            return Variant();
        });
        c->AddMethod(QStringLiteral("procedure Next"), [](Object *o, const ClassInfo *, const QString &, QVector<Variant> &) {
            static_cast<BenchDataset *>(o)->Next();
            return Variant();
        });
        c->AddProperty(QStringLiteral("Eof"), QStringLiteral("Boolean"), [](Object *o, const ClassInfo *, const QString &) {
            return Variant(static_cast<BenchDataset *>(o)->Eof());
        });
        c->AddProperty(QStringLiteral("Value"), QStringLiteral("Integer"), [](Object *o, const ClassInfo *, const QString &) {
            return Variant(static_cast<BenchDataset *>(o)->Value());
        });
        s.AddVariable(QStringLiteral("DS"), QStringLiteral("TBenchDataset"), Variant::fromObject(&ds));
        s.Lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
        if (!s.Compile())
            std::fprintf(stderr, "compile error %s: %s\n", qPrintable(s.ErrorPos), qPrintable(s.ErrorMsg));
    }
};

const char *kIntScript =
    "var i, s: Integer;\n"
    "begin s := 0; for i := 1 to 100000 do s := (s + i * 3) mod 1000003; end.";
const char *kStringScript =
    "var i: Integer; t: String;\n"
    "begin t := ''; for i := 1 to 20000 do t := t + 'x'; end.";
const char *kCallScript =
    "var i, s: Integer;\n"
    "function Sq(x: Integer): Integer; begin Result := x * x mod 7; end;\n"
    "begin s := 0; for i := 1 to 100000 do s := s + Sq(i); end.";
const char *kEofScript =
    "var s: Integer;\n"
    "begin s := 0; DS.First; while not DS.Eof do begin s := s + DS.Value; DS.Next; end; end.";

void runScript(benchmark::State &state, const char *text)
{
    Script sc(text);
    for (auto _ : state) {
        sc.s.Execute();
        benchmark::DoNotOptimize(sc.s.Variables(QStringLiteral("s")));
    }
}

void BM_ScriptIntArithmetic(benchmark::State &state) { runScript(state, kIntScript); }
void BM_ScriptStringBuilding(benchmark::State &state) { runScript(state, kStringScript); }
void BM_ScriptFunctionCall(benchmark::State &state) { runScript(state, kCallScript); }
void BM_ScriptWhileNotEof(benchmark::State &state) { runScript(state, kEofScript); }

// Lua: the same loops.
BenchDataset *luaDataset(lua_State *L)
{
    return static_cast<BenchDataset *>(lua_touserdata(L, lua_upvalueindex(1)));
}

int luaFirst(lua_State *L) { luaDataset(L)->First(); return 0; }
int luaNext(lua_State *L) { luaDataset(L)->Next(); return 0; }
int luaEof(lua_State *L) { lua_pushboolean(L, luaDataset(L)->Eof()); return 1; }
int luaValue(lua_State *L) { lua_pushinteger(L, luaDataset(L)->Value()); return 1; }

void runLua(benchmark::State &state, const char *chunk)
{
    lua_State *L = luaL_newstate();
    luaL_openlibs(L);
    BenchDataset ds;
    lua_newtable(L);
    const struct { const char *name; lua_CFunction f; } fns[] = {
        {"first", luaFirst}, {"next", luaNext}, {"eof", luaEof}, {"value", luaValue}};
    for (const auto &fn : fns) {
        lua_pushlightuserdata(L, &ds);
        lua_pushcclosure(L, fn.f, 1);
        lua_setfield(L, -2, fn.name);
    }
    lua_setglobal(L, "ds");
    if (luaL_loadstring(L, chunk) != LUA_OK) {
        std::fprintf(stderr, "lua: %s\n", lua_tostring(L, -1));
        lua_close(L);
        return;
    }
    const int ref = luaL_ref(L, LUA_REGISTRYINDEX);
    for (auto _ : state) {
        lua_rawgeti(L, LUA_REGISTRYINDEX, ref);
        if (lua_pcall(L, 0, 0, 0) != LUA_OK) {
            std::fprintf(stderr, "lua: %s\n", lua_tostring(L, -1));
            lua_pop(L, 1);
        }
    }
    lua_close(L);
}

void BM_LuaIntArithmetic(benchmark::State &state)
{
    runLua(state, "s = 0 for i = 1, 100000 do s = (s + i * 3) % 1000003 end");
}
void BM_LuaStringBuilding(benchmark::State &state)
{
    runLua(state, "t = '' for i = 1, 20000 do t = t .. 'x' end");
}
void BM_LuaFunctionCall(benchmark::State &state)
{
    runLua(state, "function Sq(x) return x * x % 7 end s = 0 for i = 1, 100000 do s = s + Sq(i) end");
}
void BM_LuaWhileNotEof(benchmark::State &state)
{
    runLua(state, "s = 0 ds.first() while not ds.eof() do s = s + ds.value() ds.next() end");
}

} // namespace

static_assert(kLoops == 100000 && kStringLoops == 20000 && kRows == 100000, "the script texts repeat these counts");

BENCHMARK(BM_ScriptIntArithmetic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LuaIntArithmetic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScriptStringBuilding)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LuaStringBuilding)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScriptFunctionCall)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LuaFunctionCall)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScriptWhileNotEof)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LuaWhileNotEof)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
