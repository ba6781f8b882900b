// The stand-in's script parser and member table, without Windows.
#include <gtest/gtest.h>

#include "uMovieScript.h"
#include "uStandinMembers.h"

#include <string>

using namespace zembra::standin;

TEST(MovieScript, NeedsTheHeaderOnTheFirstLine) {
    EXPECT_FALSE(ParseMovieScript("", false).scripted);
    EXPECT_FALSE(ParseMovieScript("FWS\x09binary movie", false).scripted);
    EXPECT_FALSE(ParseMovieScript("\n#player-standin\nafter 1 fscommand quit\n", false).scripted);
    EXPECT_FALSE(ParseMovieScript("#player-standin-not\nafter 1 fscommand quit\n", false).scripted);
    MovieScript bare = ParseMovieScript("#player-standin", false);
    EXPECT_TRUE(bare.scripted);
    EXPECT_TRUE(bare.events.empty());
    // Byte order mark, CR LF and trailing blanks are tolerated.
    MovieScript bom =
        ParseMovieScript("\xEF\xBB\xBF#player-standin \r\nafter 5 fscommand quit\r\n", false);
    EXPECT_TRUE(bom.scripted);
    ASSERT_EQ(1u, bom.events.size());
    EXPECT_EQ("quit", bom.events[0].command);
    EXPECT_EQ("", bom.events[0].args);
}

TEST(MovieScript, ReadsInstructionsSkipsMalformedOnesAndSortsByTime) {
    const std::string text = "#player-standin\n"
                             "after 500 fscommand quit\n"
                             "# a comment\n"
                             "\n"
                             "  AFTER\t100   FSCommand  hello   big  world \n"
                             "after 100 fscommand second\n"
                             "after -5 fscommand negative\n"
                             "after 5x fscommand notanumber\n"
                             "after 9999999999 fscommand overflow\n"
                             "after 86400001 fscommand toolate\n"
                             "after 10 fscommand\n"
                             "after 10 call quit\n"
                             "before 10 fscommand quit\n"
                             "after 0 fscommand zero";
    MovieScript s = ParseMovieScript(text, false);
    ASSERT_TRUE(s.scripted);
    ASSERT_EQ(4u, s.events.size());
    EXPECT_EQ(0u, s.events[0].afterMs);
    EXPECT_EQ("zero", s.events[0].command);
    EXPECT_EQ(100u, s.events[1].afterMs);
    EXPECT_EQ("hello", s.events[1].command);
    EXPECT_EQ("big  world", s.events[1].args) << "inner blanks of the arguments stay";
    EXPECT_EQ("second", s.events[2].command) << "equal times keep the file order";
    EXPECT_EQ(500u, s.events[3].afterMs);
    EXPECT_EQ("quit", s.events[3].command);
}

TEST(MovieScript, StaysWithinItsReadLimit) {
    // A cut last line must not fire with a shortened delay or argument.
    MovieScript cut =
        ParseMovieScript("#player-standin\nafter 10 fscommand a\nafter 10000 fscomm", true);
    ASSERT_EQ(1u, cut.events.size());
    EXPECT_EQ("a", cut.events[0].command);
    MovieScript cutDelay = ParseMovieScript("#player-standin\nafter 10 fscommand a\nafter 1", true);
    ASSERT_EQ(1u, cutDelay.events.size());

    // Content beyond the limit is ignored even when the caller passes it.
    std::string big = "#player-standin\nafter 1 fscommand early\n";
    big.append(kMaxMovieScriptBytes, '#');
    big += "\nafter 2 fscommand beyond\n";
    MovieScript capped = ParseMovieScript(big, false);
    ASSERT_EQ(1u, capped.events.size());
    EXPECT_EQ("early", capped.events[0].command);

    std::string many = "#player-standin\n";
    for (std::size_t i = 0; i < kMaxScriptEvents + 10; ++i)
        many += "after 1 fscommand x\n";
    EXPECT_EQ(kMaxScriptEvents, ParseMovieScript(many, false).events.size());
}

TEST(StandinMembers, NamesAndIdsMatchTheHostsContract) {
    struct Case {
        const wchar_t* name;
        long id;
        MemberKind kind;
    } cases[] = {
        {L"Loop", 106, MemberKind::BoolProperty},
        {L"MENU", 135, MemberKind::BoolProperty},
        {L"quality", 105, MemberKind::IntProperty},
        {L"FlashVars", 170, MemberKind::StringProperty},
        {L"backgroundcolor", 123, MemberKind::IntProperty},
        {L"Movie", 102, MemberKind::StringProperty},
        {L"Scale", 137, MemberKind::StringProperty},
    };
    for (const Case& c : cases) {
        const MemberInfo* m = FindMemberByName(c.name);
        ASSERT_NE(nullptr, m);
        EXPECT_EQ(c.id, m->dispid);
        EXPECT_EQ(c.kind, m->kind);
        EXPECT_EQ(m, FindMemberById(c.id));
    }
    const MemberInfo* stop = FindMemberByName(L"stop");
    const MemberInfo* stopPlay = FindMemberByName(L"StopPlay");
    const MemberInfo* security = FindMemberByName(L"disablelocalsecurity");
    ASSERT_TRUE(stop && stopPlay && security);
    EXPECT_NE(stop->dispid, stopPlay->dispid);
    EXPECT_EQ(MemberKind::Method, security->kind);
    EXPECT_EQ(nullptr, FindMemberByName(L""));
    EXPECT_EQ(nullptr, FindMemberByName(L"Stop "));
    EXPECT_EQ(nullptr, FindMemberByName(L"Play"));
    EXPECT_EQ(nullptr, FindMemberById(150)) << "the event id is not a member";
    // Non-ASCII letters are not folded into ASCII ones.
    EXPECT_FALSE(EqualsIgnoreAsciiCase(L"Lo\x00F6p", "Loop"));
}

TEST(FailList, MatchesWholeNamesIgnoringCaseAndBlanks) {
    FailList list(" loop , Movie,,\tStop ,");
    EXPECT_TRUE(list.Contains("Loop"));
    EXPECT_TRUE(list.Contains("MOVIE"));
    EXPECT_TRUE(list.Contains("Stop"));
    EXPECT_FALSE(list.Contains("StopPlay"));
    EXPECT_FALSE(list.Contains("Menu"));
    EXPECT_FALSE(list.Contains(""));
    EXPECT_TRUE(FailList("").Empty());
    EXPECT_TRUE(FailList(" , ,").Empty());
}
