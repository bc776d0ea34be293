// itplot: the measured changes against values worked out by hand, the
// structure of the picture, and its errors.
//
// The 2x2 system rows (4,1),(1,3), B = (1,2) from zero:
//  Gauss-Seidel: x1' = (1 - x2)/4, x2' = (2 - x1')/3.  Iterate 1 is
//    (1/4, 7/12); from iteration 2 on each change is 1/12 of the one before.
//    Changes: (1/4, 7/12), (7/48, 7/144), (7/576, 7/1728), ...
//    infinity norm 7/12, 7/48, 7/48/12, ...; Euclidean sqrt(58)/12, then
//    7*sqrt(10)/144, divided by 12 per iteration.
//  Jacobi: x1' = (1 - x2)/4, x2' = (2 - x1)/3; the change two iterations
//    later is 1/12 of it.  Changes: (1/4, 2/3), (1/6, 1/12), (1/48, 1/18), ...
//    infinity norm 2/3, 1/6, then /12 every second iteration; Euclidean
//    sqrt(73)/12, sqrt(5)/12, likewise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <vector>

#include "solver/convergence_plot.hpp"
#include "test_support.hpp"

namespace itersolve::testing {
namespace {

const char kSystem[] = "2\n4 1\n1 3\n1\n2\n";

std::vector<double> gauss_changes(char criterion, int count) {
    std::vector<double> v;
    double later = criterion == '1' ? 7.0 / 48 : 7.0 * std::sqrt(10.0) / 144;
    v.push_back(criterion == '1' ? 7.0 / 12 : std::sqrt(58.0) / 12);
    for (int k = 2; k <= count; ++k, later /= 12) v.push_back(later);
    return v;
}

std::vector<double> jacobi_changes(char criterion, int count) {
    std::vector<double> v;
    double odd = criterion == '1' ? 2.0 / 3 : std::sqrt(73.0) / 12;
    double even = criterion == '1' ? 1.0 / 6 : std::sqrt(5.0) / 12;
    for (int k = 1; k <= count; ++k) {
        v.push_back(k % 2 ? odd : even);
        if (k % 2 == 0) odd /= 12, even /= 12;
    }
    return v;
}

// ---- a little SVG reading

// Tags are balanced and properly nested, every attribute value is quoted and
// free of '<', and the document is one <svg> element.
::testing::AssertionResult well_formed(const std::string& svg) {
    std::vector<std::string> open;
    std::size_t pos = 0, roots = 0;
    if (svg.rfind("<?xml ", 0) != 0) return ::testing::AssertionFailure() << "no XML declaration";
    pos = svg.find("?>") + 2;
    while ((pos = svg.find('<', pos)) != std::string::npos) {
        std::size_t end = pos + 1;
        bool quoted = false;
        for (; end < svg.size() && (quoted || svg[end] != '>'); ++end) {
            if (svg[end] == '"') quoted = !quoted;
            if (quoted && svg[end] == '<') return ::testing::AssertionFailure() << "'<' in a value at " << end;
        }
        if (end == svg.size()) return ::testing::AssertionFailure() << "unterminated tag at " << pos;
        const std::string tag = svg.substr(pos + 1, end - pos - 1);
        if (tag[0] == '/') {
            if (open.empty() || open.back() != tag.substr(1))
                return ::testing::AssertionFailure() << "unbalanced </" << tag.substr(1) << ">";
            open.pop_back();
        } else {
            const std::string name = tag.substr(0, tag.find_first_of(" \n/"));
            if (open.empty()) ++roots;
            if (tag.back() != '/') open.push_back(name);
        }
        pos = end + 1;
    }
    if (!open.empty()) return ::testing::AssertionFailure() << "<" << open.back() << "> never closed";
    if (roots != 1) return ::testing::AssertionFailure() << roots << " root elements";
    return ::testing::AssertionSuccess();
}

// Every start tag <name ...> of the picture.
std::vector<std::string> tags_named(const std::string& svg, const std::string& name) {
    std::vector<std::string> tags;
    for (std::size_t pos = 0; (pos = svg.find("<" + name + " ", pos)) != std::string::npos; ++pos)
        tags.push_back(svg.substr(pos, svg.find('>', pos) - pos + 1));
    return tags;
}

std::string attribute(const std::string& tag, const std::string& name) {
    const std::size_t at = tag.find(" " + name + "=\"");
    if (at == std::string::npos) return "";
    const std::size_t start = at + name.size() + 3;
    return tag.substr(start, tag.find('"', start) - start);
}

std::vector<double> numbers(const std::string& text) {
    std::vector<double> v;
    const char* p = text.c_str();
    for (char* end = nullptr;; p = end) {
        while (*p == ' ' || *p == ',') ++p;
        if (!*p) break;
        v.push_back(std::strtod(p, &end));
    }
    return v;
}

struct Trace {
    std::vector<double> values;  // data-norms
    std::vector<double> y;       // the y coordinate of every point
};

Trace trace_of(const std::string& svg, const std::string& method) {
    for (const std::string& tag : tags_named(svg, "polyline"))
        if (attribute(tag, "data-method") == method) {
            Trace t;
            t.values = numbers(attribute(tag, "data-norms"));
            const std::vector<double> xy = numbers(attribute(tag, "points"));
            for (std::size_t i = 1; i < xy.size(); i += 2) t.y.push_back(xy[i]);
            return t;
        }
    ADD_FAILURE() << "no polyline for " << method;
    return {};
}

// The iterates are single-precision values below 1, each a few roundings
// away from its exact value; a change is the difference of two of them.
void expect_close(const std::vector<double>& actual, const std::vector<double>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-7 + 1e-6 * expected[i]) << "iteration " << i + 1;
}

struct Drawn {
    int status;
    std::string out, err;
    std::map<std::string, std::string> files;
};

Drawn draw(const std::vector<std::string>& args, const std::map<std::string, std::string>& files = {{"Input.dat", kSystem}},
           const std::set<std::string>& unwritable = {}) {
    MemoryFileSystem fs;
    for (const auto& [name, text] : files) fs.files[name] = text;
    for (const std::string& name : unwritable) fs.unwritable[name] = true;
    Drawn d;
    MemorySink out(d.out), err(d.err);
    d.status = itplot_main(args, fs, out, err);
    d.files = fs.files;
    return d;
}

// ---- the tests

TEST(Itplot, PlotsTheInfinityNormOfEveryChangeOnALogarithmicAxis) {
    const Drawn d = draw({"Input.dat", "--tol", "1e-3", "--maxit", "20", "--criterion", "1", "-o", "plot.svg"});
    ASSERT_EQ(d.status, 0) << d.err;
    EXPECT_EQ(d.err, "");
    const std::string& svg = d.files.at("plot.svg");
    ASSERT_TRUE(well_formed(svg));
    EXPECT_EQ(tags_named(svg, "polyline").size(), 2u);

    // Gauss-Seidel meets 1E-3 at iteration 5, Jacobi at 7: one point each.
    const Trace gs = trace_of(svg, "Gauss-Seidel"), jac = trace_of(svg, "Jacobi");
    expect_close(gs.values, gauss_changes('1', 5));
    expect_close(jac.values, jacobi_changes('1', 7));
    ASSERT_EQ(gs.y.size(), 5u);
    ASSERT_EQ(jac.y.size(), 7u);

    // Logarithmic: equal ratios are equal steps (GS shrinks by 12 from
    // iteration 2 on; Jacobi's iterations 1, 3, 5, 7 shrink by 12 too), and
    // a ratio of 12 is as long on both.
    const double step = gs.y[2] - gs.y[1];
    EXPECT_GT(step, 0.0);
    EXPECT_NEAR(gs.y[3] - gs.y[2], step, 0.02);
    EXPECT_NEAR(gs.y[4] - gs.y[3], step, 0.02);
    EXPECT_NEAR(jac.y[2] - jac.y[0], step, 0.02);
    EXPECT_NEAR(jac.y[6] - jac.y[4], step, 0.02);

    // The tolerance line lies between iterations 4 (above 1E-3) and 5.
    const auto tol = tags_named(svg, "line");
    double tol_y = -1;
    for (const std::string& t : tol)
        if (attribute(t, "class") == "tolerance") tol_y = std::strtod(attribute(t, "y1").c_str(), nullptr);
    EXPECT_GT(tol_y, gs.y[3]);
    EXPECT_LT(tol_y, gs.y[4]);

    // The stopping iterations are marked.
    std::map<std::string, std::string> stops;
    for (const std::string& c : tags_named(svg, "circle"))
        if (attribute(c, "class") == "stop") stops[attribute(c, "data-method")] = attribute(c, "data-iteration");
    EXPECT_EQ(stops, (std::map<std::string, std::string>{{"Gauss-Seidel", "5"}, {"Jacobi", "7"}}));
    EXPECT_NE(svg.find("Gauss-Seidel: TOL met at iteration 5"), std::string::npos);
    EXPECT_NE(svg.find("infinity norm"), std::string::npos);
    // Self-contained: nothing is fetched from elsewhere.
    EXPECT_EQ(svg.find("href"), std::string::npos);
    EXPECT_EQ(svg.find("url("), std::string::npos);
}

TEST(Itplot, AChangeOfExactlyZeroIsDrawnAtTheBottomNotDropped) {
    // With TOL 0 Gauss-Seidel reaches its fixed point: iterate 9 equals
    // iterate 8 bit for bit, and every later one repeats it.
    const Drawn d = draw({"Input.dat", "--tol", "0", "--maxit", "12"});
    ASSERT_EQ(d.status, 0) << d.err;
    const std::string& svg = d.files.at("convergence.svg");
    ASSERT_TRUE(well_formed(svg));
    const Trace gs = trace_of(svg, "Gauss-Seidel");
    ASSERT_EQ(gs.values.size(), 12u);
    ASSERT_EQ(gs.y.size(), 12u);
    expect_close(std::vector<double>(gs.values.begin(), gs.values.begin() + 5), gauss_changes('1', 5));
    for (int k = 9; k <= 12; ++k) {
        EXPECT_EQ(gs.values[k - 1], 0.0) << k;
        EXPECT_GT(gs.y[k - 1], gs.y[7]) << "a zero lies below every other value";
    }
    std::size_t zero_markers = 0;
    for (const std::string& r : tags_named(svg, "rect")) zero_markers += attribute(r, "class") == "zero-change";
    EXPECT_EQ(zero_markers, 4u);
    EXPECT_NE(svg.find("change exactly 0"), std::string::npos);
    // No tolerance line can stand for 0 on a logarithmic axis; the legend says so.
    EXPECT_EQ(svg.find("class=\"tolerance\""), std::string::npos);
    EXPECT_NE(svg.find("TOL = 0 (not drawn)"), std::string::npos);
    EXPECT_NE(svg.find("Gauss-Seidel: limit reached at 12"), std::string::npos);
}

TEST(Itplot, RunsAsAProgramWithTheEuclideanNorm) {
    const ProgramRun run = run_program("itplot", {{"Input.dat", kSystem}}, "",
                                       {"Input.dat", "--tol", "1e-4", "--maxit", "60", "--criterion", "2", "-o",
                                        "convergence.svg"});
    ASSERT_EQ(run.status, 0) << run.diagnostics;
    EXPECT_EQ(run.console, "");
    EXPECT_EQ(run.diagnostics, "");
    const std::string& svg = run.files.at("convergence.svg");
    ASSERT_TRUE(well_formed(svg));
    // Gauss-Seidel's change at 5 is 7*sqrt(10)/144/1728 = 8.9e-5; Jacobi's
    // at 8 is sqrt(5)/20736 = 1.08e-4, at 9 sqrt(73)/248832 = 3.4e-5.
    expect_close(trace_of(svg, "Gauss-Seidel").values, gauss_changes('2', 5));
    expect_close(trace_of(svg, "Jacobi").values, jacobi_changes('2', 9));
    EXPECT_NE(svg.find("Euclidean norm"), std::string::npos);
}

TEST(Itplot, ScreeningWarningIsShownAndTheRunGoesOn) {
    const Drawn d = draw({"Input.dat", "--maxit", "3"}, {{"Input.dat", "2\n1 2\n2 1\n3\n3\n"}});
    EXPECT_EQ(d.status, 0);
    EXPECT_EQ(d.err, "itplot: Matrix A is not diagonally dominant.\nitplot: Thus solution obtained may be erroneous.\n");
    const std::string& svg = d.files.at("convergence.svg");
    EXPECT_TRUE(well_formed(svg));
    EXPECT_NE(svg.find("Matrix A is not diagonally dominant."), std::string::npos);
    // Jacobi from zero: (3,3), (-3,-3), (9,9): changes 3, 6, 12.
    expect_close(trace_of(svg, "Jacobi").values, {3, 6, 12});
}

TEST(Itplot, ChangesThatAreNotNumbersAreDrawnAtTheTopEdge) {
    // Rows (1,2),(2,1), B = (3,3) diverge: Jacobi's iterates are 1 - (-2)^k
    // until they overflow, so its changes are 3*2^(k-1), then infinite.
    // Gauss-Seidel overflows sooner and stops once its change is no longer
    // a number (the infinity-norm test passes when no component compares).
    const Drawn d = draw({"Input.dat", "--maxit", "200"}, {{"Input.dat", "2\n1 2\n2 1\n3\n3\n"}});
    ASSERT_EQ(d.status, 0) << d.err;
    const std::string& svg = d.files.at("convergence.svg");
    ASSERT_TRUE(well_formed(svg));
    const Trace gs = trace_of(svg, "Gauss-Seidel"), jac = trace_of(svg, "Jacobi");
    ASSERT_EQ(jac.values.size(), 200u);
    for (int k = 1; k <= 20; ++k) EXPECT_EQ(jac.values[k - 1], 3.0 * std::ldexp(1.0, k - 1)) << k;
    EXPECT_TRUE(std::isinf(jac.values.back()));
    ASSERT_LT(gs.values.size(), 200u);
    EXPECT_FALSE(gs.values.back() > 0 && std::isfinite(gs.values.back())) << gs.values.back();
    EXPECT_NE(svg.find("Gauss-Seidel: TOL met at iteration " + std::to_string(gs.values.size())), std::string::npos);

    // Every such change has a cross, on the top edge above every number.
    std::size_t not_numbers = 0;
    double top = 1e9;
    for (const Trace* t : {&gs, &jac})
        for (std::size_t i = 0; i < t->values.size(); ++i) {
            top = std::min(top, t->y[i]);
            not_numbers += !(t->values[i] > 0 && std::isfinite(t->values[i]));
        }
    for (const Trace* t : {&gs, &jac})
        for (std::size_t i = 0; i < t->values.size(); ++i)
            if (!(t->values[i] > 0 && std::isfinite(t->values[i]))) {
                EXPECT_EQ(t->y[i], top) << t->values[i];
            }
    EXPECT_GT(not_numbers, 0u);
    EXPECT_EQ(tags_named(svg, "path class=\"no-number\"").size(), not_numbers);
    EXPECT_NE(svg.find("no numeric change (top edge)"), std::string::npos);
}

TEST(Itplot, OptionsAndInformation) {
    const Drawn help = draw({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: itplot DATAFILE", 0), 0u);
    EXPECT_EQ(help.files.size(), 1u) << "--help draws nothing";
    const Drawn version = draw({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("itplot ") + ITERSOLVE_VERSION + "\n");
    // --opt=value is the same as --opt value.
    const Drawn joined = draw({"--tol=1e-3", "--maxit=20", "--criterion=1", "--output=p.svg", "Input.dat"});
    const Drawn apart = draw({"Input.dat", "--tol", "1e-3", "--maxit", "20", "-o", "p.svg"});
    ASSERT_EQ(joined.status, 0) << joined.err;
    EXPECT_EQ(joined.files.at("p.svg"), apart.files.at("p.svg"));
}

TEST(Itplot, ErrorsAreOneLineAndDrawNothing) {
    struct Case {
        std::vector<std::string> args;
        std::string data;  // Input.dat
        int status;
        std::string err;
    };
    const std::string hint = "\nTry 'itplot --help'.\n";
    const Case cases[] = {
        {{}, kSystem, 2, "itplot: no data file given" + hint},
        {{"Input.dat", "--tol"}, kSystem, 2, "itplot: option '--tol' needs a value" + hint},
        {{"Input.dat", "--tol", "1e-3x"}, kSystem, 2, "itplot: --tol: expected a finite real, found \"1e-3x\"" + hint},
        {{"Input.dat", "--tol", "nan"}, kSystem, 2, "itplot: --tol: expected a finite real, found \"nan\"" + hint},
        {{"Input.dat", "--maxit", "0"}, kSystem, 2,
         "itplot: --maxit: expected an integer of at least 1, found \"0\"" + hint},
        {{"Input.dat", "--maxit", "2.5"}, kSystem, 2,
         "itplot: --maxit: expected an integer of at least 1, found \"2.5\"" + hint},
        {{"Input.dat", "--criterion", "12"}, kSystem, 2, "itplot: --criterion: expected 1 or 2, found \"12\"" + hint},
        {{"Input.dat", "--bogus"}, kSystem, 2, "itplot: unrecognized option \"--bogus\"" + hint},
        {{"Input.dat", "More.dat"}, kSystem, 2,
         "itplot: unexpected argument \"More.dat\" after the data file" + hint},
        {{"Missing.dat"}, kSystem, 1, "itplot: Missing.dat: cannot open for reading\n"},
        {{"Input.dat"}, "2\n4 1\n1 1.2.3\n1\n2\n", 1,
         "itplot: Input.dat, line 3: expected a real for A(2,2), found \"1.2.3\"\n"},
        {{"Input.dat"}, "x\n", 1, "itplot: Input.dat, line 1: expected an integer for N, found \"x\"\n"},
        {{"Input.dat"}, "2\n4 1\n1 0\n1\n2\n", 1, "itplot: Input.dat: Please ensure non-zero diagonals.\n"},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& a : c.args) shown += a + " ";
        SCOPED_TRACE(shown);
        const Drawn d = draw(c.args, {{"Input.dat", c.data}});
        EXPECT_EQ(d.status, c.status);
        EXPECT_EQ(d.err, c.err);
        EXPECT_EQ(d.out, "");
        EXPECT_EQ(d.files.size(), 1u) << "no picture is written";
    }
    const Drawn unwritable = draw({"Input.dat", "-o", "plot.svg"}, {{"Input.dat", kSystem}}, {"plot.svg"});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_EQ(unwritable.err, "itplot: plot.svg: cannot open for writing\n");
}

}  // namespace
}  // namespace itersolve::testing
