// Guards the status line of Vendel's sheets against: a step that cannot be left with no word of
// why, and a status that names the wrong row or heading.
#include <memory>

#include <gtest/gtest.h>

#include "stress_wizard/StressModel.h"
#include "stress_wizard/StressStepChecks.h"
#include "support/TestSupport.h"

using namespace ardela;

TEST(VendelStepStatus, GridlinesSayWhichDirectionIsMissingOrWhereTheGapIs)
{
    auto model = std::make_unique<StressModel>();
    model->GridLines(1, 1) = Cell(0.0f);
    model->GridLines(2, 1) = Cell(10.0f);
    std::int16_t maxRow = 2;
    QString status;
    EXPECT_FALSE(CheckGridLines(*model, maxRow, {}, &status));
    EXPECT_EQ(status, QStringLiteral("At least one horizontal gridline is needed (Coord y)"));

    model->GridLines(1, 2) = Cell(0.0f);
    model->GridLines(3, 2) = Cell(QStringLiteral("3OO"));
    model->GridLines(4, 2) = Cell(5.0f);
    maxRow = 4;
    EXPECT_FALSE(CheckGridLines(*model, maxRow, {}, &status));
    EXPECT_EQ(status, QStringLiteral("row 2, Coord y (horizontal gridlines): a number is needed"));

    model->GridLines(2, 2) = Cell(2.0f);
    model->GridLines(3, 2) = Cell(3.0f);
    EXPECT_TRUE(CheckGridLines(*model, maxRow, {}, &status));
    EXPECT_TRUE(status.isEmpty());
}

TEST(VendelStepStatus, SubdomainsNameTheHeadingAndCountAModulusStoredAsANumber)
{
    auto model = std::make_unique<StressModel>();
    const float row[] = {0, 0, 40, 10, 1, 2.1e7f, 8.1e6f};
    for (int c = 1; c <= 7; ++c)
        model->Domains(1, c) = Cell(row[c - 1]);
    std::int16_t maxRow = 1;
    QString status;
    EXPECT_TRUE(CheckDomains(*model, maxRow, {}, &status)) << status.toStdString();
    EXPECT_EQ(model->DomainCount, 1);

    // A pending text in the editor on row 2, G.
    SheetPending pending{true, QStringLiteral("8.1e6"), 2, 7};
    EXPECT_FALSE(CheckDomains(*model, maxRow, pending, &status));
    EXPECT_EQ(status, QStringLiteral("row 2, G [daN/cm²]: '8.1e6' is written with an exponent, which is not read: write the number out in full"));
}
