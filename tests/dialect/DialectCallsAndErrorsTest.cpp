// Procedure calls, refused statements, and the adapter's behaviour on hostile input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <ctime>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "rdb/dialect/DialectAdapter.h"
#include "tests/dialect/DeskStatements.h"

using namespace dialect_test;

namespace {

using Translator = bool (*)(std::string_view, rdb::Translation*, std::string*);
const Translator kTargets[] = {&rdb::TranslateToSqlite, &rdb::TranslateToPostgres};

// Both targets read a call alike.
rdb::ProcedureCall Call(const std::string& text) {
    rdb::Translation t[2];
    for (int k = 0; k < 2; ++k) {
        std::string err;
        EXPECT_TRUE(kTargets[k](text, &t[k], &err)) << err << "\n" << text;
        EXPECT_EQ(t[k].kind, rdb::Translation::Kind::Call) << text;
        EXPECT_EQ(t[k].call.args.size(), t[k].call.argIsNull.size());
    }
    EXPECT_EQ(t[1].call.name, t[0].call.name);
    EXPECT_EQ(t[1].call.args, t[0].call.args);
    EXPECT_EQ(t[1].call.argIsNull, t[0].call.argIsNull);
    return t[0].call;
}

// Both targets refuse; the reason of the first is returned.
std::string Refusal(const std::string& text) {
    std::string first;
    for (Translator translate : kTargets) {
        rdb::Translation t;
        std::string err;
        EXPECT_FALSE(translate(text, &t, &err)) << text << "\n-> " << t.sql;
        EXPECT_FALSE(err.empty()) << text;
        if (first.empty()) first = err;
    }
    return first;
}

using V = std::vector<std::string>;

TEST(DialectCalls, ReportCallKeepsKoreanNameAndValues) {
    char text[256];
    std::snprintf(text, sizeof text, kRateCall, "u1", "20261201", "20261208");
    rdb::ProcedureCall c = Call(text);
    EXPECT_EQ(c.name, kRateProcedure);
    EXPECT_EQ(c.args, (V{"u1", "20261201", "20261208"}));
}

TEST(DialectCalls, EveryCallFormGivesTheNameAndLiteralValues) {
    rdb::ProcedureCall c = Call("{ call P (1, 'x') }");
    EXPECT_EQ(c.name, "P");
    EXPECT_EQ(c.args, (V{"1", "x"}));

    c = Call("{call dbo.P('it''s', '', ' a,b) }', N'가')}");
    EXPECT_EQ(c.name, "P");
    EXPECT_EQ(c.args, (V{"it's", "", " a,b) }", "가"})) << "quotes, commas and braces inside values";

    c = Call("exec P 'a''; drop table x --', -2.5, NULL;");
    EXPECT_EQ(c.args, (V{"a'; drop table x --", "-2.5", ""}));
    EXPECT_EQ(c.argIsNull, (std::vector<bool>{false, false, true}));

    c = Call("  EXECUTE [dbo].[P X]");
    EXPECT_EQ(c.name, "P X");
    EXPECT_TRUE(c.args.empty());
    EXPECT_TRUE(Call("{call P()}").args.empty());
    EXPECT_TRUE(Call("/* c */ {call P}").args.empty());
}

TEST(DialectRefusals, MalformedTextIsRefusedWithAReason) {
    EXPECT_NE(Refusal("select 'abc").find("unterminated string"), std::string::npos);
    EXPECT_NE(Refusal("select [abc").find("unterminated"), std::string::npos);
    EXPECT_NE(Refusal("select 1 /* open /* */").find("comment"), std::string::npos);
    EXPECT_NE(Refusal("select (1 + 2").find("parenthes"), std::string::npos);
    EXPECT_NE(Refusal("select 1 + 2)").find("parenthes"), std::string::npos);
    EXPECT_NE(Refusal("select case when a = 1 then 2 from t").find("END"), std::string::npos);
    EXPECT_NE(Refusal("select (case when a = 1 then 2) from t").find("END"), std::string::npos);
    EXPECT_NE(Refusal(std::string("select 1\0 2", 10)).find("NUL"), std::string::npos);
    EXPECT_NE(Refusal(std::string("select 'a\0b'", 12)).find("NUL"), std::string::npos)
        << "SQLite would cut it";
    EXPECT_NE(Refusal("select {fn now()}").find("{"), std::string::npos);
    EXPECT_NE(Refusal(" \t-- nothing\n").find("empty"), std::string::npos);
    EXPECT_NE(Refusal("select " + std::string(5000, '(') + "1" + std::string(5000, ')')).find("nested"),
              std::string::npos);
}

TEST(DialectRefusals, MalformedCallsAreRefused) {
    for (const char* text : {"{call P('a'", "{call P('a')", "{call P('a' 'b')}", "{call P(x)}",
                             "{call P(1+2)}", "{call P('a')} select 1", "{call}", "{? = call P}", "{exec P}",
                             "exec", "exec P 'a' 'b'", "exec P @a = 1", "exec ('select 1')", "exec []",
                             "execute\f\f[]", "{call []}", "exec dbo.[]", "exec [].P", "{call [] ('a')}"}) {
        EXPECT_NE(Refusal(text).find("procedure call"), std::string::npos) << text;
    }
}

TEST(DialectRefusals, ConstructsWithoutAFaithfulRewrite) {
    EXPECT_NE(Refusal("select convert(varchar, d, 112) from t").find("style"), std::string::npos);
    EXPECT_NE(Refusal("select convert(datetime, d) from t").find("type"), std::string::npos);
    Refusal("select a, count(*) from t group by substring(a, 1, 2) with rollup");
    Refusal("select a, count(*) from t group by a with cube");
    Refusal("select a, grouping(b) from t group by a with rollup");
    Refusal("select a, (select max(x) from u group by x with rollup) from t group by a with rollup");
    Refusal("select a from t group by a with rollup union all select 1");
}

// The fuzzer's promise, in miniature: random and mangled statements end with an answer.
TEST(DialectRobustness, RandomAndMangledInputAlwaysGetsAnAnswer) {
    std::mt19937 rng(20261201);
    const std::vector<std::string> pieces = {"select ",
                                             "from ",
                                             "where ",
                                             " group by ",
                                             " with rollup ",
                                             "with(nolock)",
                                             "(index(a,b),nolock)",
                                             "case ",
                                             "when(",
                                             " then ",
                                             " end",
                                             "(",
                                             ")",
                                             ",",
                                             "'",
                                             "''",
                                             "'x'",
                                             "N'",
                                             "[",
                                             "]",
                                             "\"",
                                             "+",
                                             "-",
                                             "*",
                                             "=",
                                             " = ",
                                             "convert(varchar,",
                                             "isnull(",
                                             "grouping(",
                                             "dbo.",
                                             ".",
                                             "{call ",
                                             "}",
                                             "exec ",
                                             "--",
                                             "/*",
                                             "*/",
                                             "\t",
                                             "\n",
                                             "a",
                                             "AGENT_NM",
                                             "1",
                                             "\xea\xb0\x80",
                                             "\xff",
                                             ";",
                                             "count(*)"};
    const std::vector<std::string> templates = {kLoanPrefix,   kGeneralPrefix, kCountStatement, kOptOutList,
                                                kDistribution, kRateCall,      kLoginAgent};
    auto check = [](const std::string& text) {
        for (Translator translate : kTargets) {
            rdb::Translation t;
            std::string err;
            if (!translate(text, &t, &err)) {
                ASSERT_FALSE(err.empty()) << text;
            } else if (t.kind == rdb::Translation::Kind::Statement) {
                ASSERT_FALSE(t.sql.empty()) << text;
            }
        }
    };
    for (int n = 0; n < 1500; ++n) {
        std::string text;
        const int parts = static_cast<int>(rng() % 40);
        for (int p = 0; p < parts; ++p) text += pieces[rng() % pieces.size()];
        check(text);
        std::string mangled = templates[rng() % templates.size()];
        for (int k = static_cast<int>(rng() % 4); k >= 0; --k) {
            const size_t at = rng() % (mangled.size() + 1);
            switch (rng() % 3) {
                case 0:
                    mangled.erase(at, rng() % 8);
                    break;
                case 1:
                    mangled.insert(at, pieces[rng() % pieces.size()]);
                    break;
                default:
                    mangled.resize(std::min(mangled.size(), at));
                    break;
            }
        }
        check(mangled);
    }
}

TEST(DialectRobustness, TimeGrowsLinearlyWithInput) {
    auto repeat = [](const std::string& s, size_t n) {
        std::string r;
        for (size_t i = 0; i < n; ++i) r += s;
        return r;
    };
    const std::vector<std::pair<const char*, std::function<std::string(size_t)>>> shapes = {
        {"string chain", [&](size_t n) { return "select " + repeat("'a' + x - ", n) + "'b'"; }},
        {"aliased items", [&](size_t n) { return "select " + repeat("A = 1 + 'b', ", n) + "B = 2 from t"; }},
        {"many selects", [&](size_t n) { return repeat("select a, ", n) + "1"; }},
        {"nested groups",
         [&](size_t n) {
             return "select " + repeat(std::string(100, '(') + "'a'" + std::string(100, ')') + "+", n / 50) +
                    "1";
         }},
        {"rollups",
         [&](size_t n) {
             return repeat("select a = b, c = count(*) from t group by b with rollup;", n / 4);
         }},
        {"hints and dbo",
         [&](size_t n) {
             return "select " + repeat("dbo.f(x) ", n) + "from " + repeat("t with(nolock), ", n) + "u";
         }},
    };
    for (const auto& [name, make] : shapes) {
        for (Translator translate : kTargets) {
            auto seconds = [&](size_t n) {
                const std::string text = make(n);
                double best = 1e9;
                // Processor time, so that other work on a busy machine does not count.
                for (int k = 0; k < 5; ++k) {
                    rdb::Translation t;
                    std::string err;
                    const std::clock_t start = std::clock();
                    translate(text, &t, &err);
                    best = std::min(best, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
                }
                return best;
            };
            const double small = seconds(250), large = seconds(2000);
            EXPECT_LT(large, 24 * small + 0.05)
                << name << ": " << small << " s -> " << large << " s for 8x the input";
        }
    }
}

}  // namespace
