// Guards the reading of "datein" against: values taken out of order, a truncated file read as
// if complete, words or unknown codes accepted as numbers, commas mistaken for decimals, and a
// damaged file crashing the solver.
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "stress_solver/PlaneStressSolver.h"
#include "stress_solver/SolverInput.h"

namespace ardela::stress {
namespace {

std::string Reason(const std::string& text)
{
    try {
        ParseSolverInput(text);
    } catch (const InputError& e) {
        return e.what();
    }
    return "read";
}

// The file Vendel writes for a 100 x 50 plate (gridlines eight to a line, loads by direction).
const char* const kPlate = "9,2,1,1,3,\r\n"
                           "0.0,12.5,25.0,37.5,50.0,62.5,75.0,87.5,\r\n"
                           "100.0,\r\n"
                           "0.0,50.0,\r\n"
                           "0.0,100.0,50.0,0.0,1.0,210000.0,81000.0,\r\n"
                           "0.0,0.0,0.0,50.0,3,\r\n"
                           "100.0,50.0,2,-500.0,\r\n"
                           "100.0,0.0,1,250.0,\r\n"
                           "100.0,0.0,2,7.5,\r\n";

TEST(SolverInput, ReadsTheFileVendelWrites)
{
    const SolverInput in = ParseSolverInput(kPlate);
    ASSERT_EQ(in.vertical.size(), 9u);
    EXPECT_EQ(in.vertical[1], 12.5);
    EXPECT_EQ(in.vertical[8], 100.0);
    EXPECT_EQ(in.horizontal, (std::vector<double>{0.0, 50.0}));
    ASSERT_EQ(in.domains.size(), 1u);
    // The subdomain line order: lower x, upper x, upper y, lower y, thickness, E, G.
    EXPECT_EQ(in.domains[0].upperX, 100.0);
    EXPECT_EQ(in.domains[0].upperY, 50.0);
    EXPECT_EQ(in.domains[0].lowerY, 0.0);
    EXPECT_EQ(in.domains[0].shearModulus, 81000.0);
    ASSERT_EQ(in.lines.size(), 1u);
    EXPECT_EQ(in.lines[0].endY, 50.0);
    EXPECT_EQ(in.lines[0].code, 3);
    ASSERT_EQ(in.loads.size(), 3u);
    EXPECT_EQ(in.loads[0].direction, 2);
    EXPECT_EQ(in.loads[0].force, -500.0);
    EXPECT_EQ(in.loads[2].force, 7.5);
}

TEST(SolverInput, SeparatorsAreCommasBlanksAndLineBreaks)
{
    const SolverInput in = ParseSolverInput("2 2 1 0 1\n0 +10\t0,,5\n0 10 5 0 1 1e3 400\n10 5 1 -2.5\n\n");
    EXPECT_EQ(in.vertical[1], 10.0);
    EXPECT_EQ(in.domains[0].youngModulus, 1000.0);
    EXPECT_EQ(in.loads[0].force, -2.5);
}

TEST(SolverInput, BadFilesAreRefusedNamingTheValueAndLine)
{
    EXPECT_EQ(Reason(""), "datein ends before the number of vertical gridlines (line 1)");
    const std::string plate = kPlate;
    EXPECT_EQ(Reason(plate.substr(0, plate.size() - 6)), "datein ends before load 3, force, (line 9)");
    // A decimal comma splits a value in two: the file no longer adds up.
    EXPECT_EQ(Reason("2,2,0,0,0,\r\n0.0,1,5,\r\n0.0,1.0,\r\n"),
              "line 2: vertical gridline 2 \"1,5\" is written with a decimal comma; datein takes a point (1.5)");
    EXPECT_EQ(Reason("2,2,0,0,0,\r\n0.0,1;5,\r\n0.0,1.0,\r\n"), "line 2: vertical gridline 2 \"1;5\" is not a number");
    EXPECT_EQ(Reason("2,2,0,0,0,\r\n0.0,nan,\r\n0,1,\r\n"), "line 2: vertical gridline 2 \"nan\" is not a number");
    EXPECT_EQ(Reason("2.5,2,0,0,0,"), "line 1: the number of vertical gridlines \"2.5\" is not a whole number");
    EXPECT_EQ(Reason("-1,2,0,0,0,"), "line 1: the number of vertical gridlines is negative");
    EXPECT_EQ(Reason("0,0,0,1,0,\r\n0,0,1,1,4,\r\n"),
              "line 2: the code 4 of constrained line 1 is unknown (1 holds x, 2 holds y, 3 holds both)");
    EXPECT_EQ(Reason("0,0,0,0,1,\r\n0,0,3,1,\r\n"), "line 2: the direction 3 of load 1 is unknown (1 is x, 2 is y)");
    EXPECT_EQ(Reason("1,1,0,0,0,\r\n0,\r\n0,\r\n7,"), "line 4: unexpected values after the last load");
    EXPECT_EQ(Reason("0,0,0,0,0,\r\n"), "read");
}

TEST(SolverInput, DecimalCommasAreNamedAtTheirFieldAndLongTokensAreCut)
{
    // Vendel's plate written in a comma locale by a faulty writer: the first number with a
    // comma is a subdomain's lower x (the gridlines all carry points).
    EXPECT_EQ(Reason("2,2,1,0,0,\r\n0.0,100.0,\r\n0.0,50.0,\r\n0,0,100,0,50,0,0,0,1,0,210000,0,81000,0,\r\n"),
              "line 4: subdomain 1, lower x, \"0,0\" is written with a decimal comma; datein takes a point (0.0)");
    EXPECT_EQ(Reason("0,0,0,0,1,\r\n100.0,50.0,2,-500,5,\r\n"),
              "line 2: load 1, force, \"-500,5\" is written with a decimal comma; datein takes a point (-500.5)");
    // Whole numbers written without a point still read when the file adds up.
    EXPECT_EQ(Reason("2,2,0,0,0,\r\n0,1,\r\n0,1,\r\n"), "read");

    const std::string longToken(5000, '7');
    EXPECT_EQ(Reason("2,2,0,0,0,\r\n0.0," + longToken + "x,\r\n"),
              "line 2: vertical gridline 2 \"" + std::string(40, '7') + "...\" (5001 characters) is not a number");
    EXPECT_EQ(Reason(longToken + ",2,0,0,0,"),
              "line 1: the number of vertical gridlines \"" + std::string(40, '7') + "...\" (5000 characters) is not a whole number");
    EXPECT_EQ(Reason("2,2,0,0,0,\r\n0.0,1e400,\r\n"),
              "line 2: vertical gridline 2 \"1e400\" is beyond the range of double precision (about 1e-308 to 1e308)");
    EXPECT_EQ(Reason("2,2,0,0,0,\r\n0.0,1e-400,\r\n"),
              "line 2: vertical gridline 2 \"1e-400\" is beyond the range of double precision (about 1e-308 to 1e308)");
}

TEST(SolverInput, FoldersAndDevicesAreRefusedBeforeTheyAreRead)
{
    const auto refusal = [](const std::string& path) {
        try {
            ReadSolverInputFile(path);
        } catch (const InputError& e) {
            return std::string(e.what());
        }
        return std::string("read");
    };
    EXPECT_EQ(refusal("/dev/zero"), "/dev/zero is not a regular file (a device, a pipe or a socket); stress reads only a file");
    EXPECT_EQ(refusal("/tmp"), "/tmp is a folder, not the input file");
}

TEST(SolverInput, DamagedFilesAreRefusedOrSolvedNeverCrash)
{
    // Thousands of copies of the plate file with bytes replaced, dropped or doubled: each one is
    // either solved or refused with a reason; nothing else may escape.
    std::mt19937 random(20261208);
    const std::string plate = kPlate;
    const std::string alphabet = "0123456789.,-+e \r\nx";
    int refused = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        std::string text = plate;
        const int edits = 1 + int(random() % 4);
        for (int k = 0; k < edits && !text.empty(); ++k) {
            const std::size_t at = random() % text.size();
            switch (random() % 3) {
            case 0: text[at] = alphabet[random() % alphabet.size()]; break;
            case 1: text.erase(at, 1 + random() % 6); break;
            default: text.insert(at, text.substr(at, 1 + random() % 6)); break;
            }
        }
        try {
            SolvePlaneStress(ParseSolverInput(text));
        } catch (const InputError& e) {
            ++refused;
            EXPECT_GT(std::string(e.what()).size(), 10u);
        }
    }
    EXPECT_GT(refused, 1000);
}

TEST(SolverInput, MissingFileIsReported)
{
    try {
        ReadSolverInputFile("/no/such/folder/datein");
        FAIL() << "read a missing file";
    } catch (const InputError& e) {
        EXPECT_STREQ(e.what(), "cannot open /no/such/folder/datein");
    }
}

} // namespace
} // namespace ardela::stress
