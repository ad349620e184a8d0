// Guards the member table against: a member listed twice on one object (the host would answer
// the first), a member found on the wrong object kind, and argument counts that disagree with
// the object model.
#include <set>
#include <utility>

#include <gtest/gtest.h>

#include "cadlink/Members.h"

using namespace ardela::cad;

TEST(MemberTable, EveryMemberIsListedOnceOnItsObject)
{
    std::set<std::pair<HandleKind, QString>> seen;
    for (const MemberRow& row : kMemberTable)
        EXPECT_TRUE(seen.emplace(row.kind, QString(row.name)).second) << QString(row.name).toStdString();
    EXPECT_EQ(seen.size(), kMemberCount);
}

TEST(MemberTable, NamesAreFoundOnlyOnTheObjectThatHasThem)
{
    // "Name" belongs to five objects, each its own row.
    const MemberRow* application = FindMember(HandleKind::Application, u"Name");
    const MemberRow* layer = FindMember(HandleKind::Layer, u"Name");
    ASSERT_TRUE(application && layer);
    EXPECT_EQ(application->member, Member::AppName);
    EXPECT_EQ(layer->member, Member::LayerName);
    EXPECT_EQ(FindMember(HandleKind::ModelSpace, u"Name"), nullptr);
    // Names are compared exactly: the set's "count" is not the collection's "Count".
    EXPECT_EQ(FindMember(HandleKind::SelectionSet, u"count")->member, Member::SetCount);
    EXPECT_EQ(FindMember(HandleKind::SelectionSet, u"Count"), nullptr);
    EXPECT_EQ(FindMember(HandleKind::Entity, u"Explode"), nullptr);
}

TEST(MemberTable, ArgumentCountsFollowTheObjectModel)
{
    // AddText(text, insertion point, height); SetFont(typeface, bold, italic, charset, pitch).
    EXPECT_EQ(RowOf(Member::SpaceAddText).minArgs, 3);
    EXPECT_EQ(RowOf(Member::StyleSetFont).maxArgs, 5);
    // Select(mode, corner 1, corner 2[, filter types, filter data]).
    EXPECT_EQ(RowOf(Member::SetSelect).minArgs, 3);
    EXPECT_EQ(RowOf(Member::SetSelect).maxArgs, 5);
    // A setter takes exactly the value it sets.
    for (const MemberRow& row : kMemberTable) {
        if (QString(row.name).startsWith(QLatin1String("put_"))) {
            EXPECT_TRUE(row.minArgs == 1 && row.maxArgs == 1) << QString(row.name).toStdString();
        }
    }
    EXPECT_TRUE(RowOf(Member::AppSimulateInput).testingAid);
    EXPECT_FALSE(RowOf(Member::AppQuit).testingAid);
}
