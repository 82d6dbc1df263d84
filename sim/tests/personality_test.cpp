// Rules every personality's tables must keep, so that adding one cannot
// break option parsing or the command parser.
#include "sim/mobile_printer.h"
#include "sim/models.h"
#include "sim/personality.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

namespace {

std::string upper(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

TEST(Personalities, TablesAreWellFormed)
{
    ASSERT_FALSE(sim::personalities().empty());
    EXPECT_EQ(sim::personalities()[0], &sim::defaultPersonality());
    std::set<std::string_view> names;
    std::set<std::string> spellings;  // across personalities: a model implies one personality
    for (const sim::Personality* p : sim::personalities()) {
        SCOPED_TRACE(std::string(p->name));
        EXPECT_TRUE(names.insert(p->name).second) << "duplicate personality";
        EXPECT_EQ(sim::findPersonality(p->name), p);
        EXPECT_FALSE(p->summary.empty());
        ASSERT_NE(p->configFor, nullptr);

        std::set<std::string_view> prefixes;
        EXPECT_FALSE(p->commands.empty());
        for (const sim::CommandRow& row : p->commands) {
            EXPECT_FALSE(row.prefix.empty());
            EXPECT_NE(row.handle, nullptr);
            EXPECT_TRUE(prefixes.insert(row.prefix).second) << "a later row would replace an earlier one";
        }

        ASSERT_FALSE(p->models.empty());
        EXPECT_NE(sim::findModelIn(*p, p->defaultModel), nullptr) << "default model not in the table";
        for (const sim::ModelInfo& m : p->models) {
            EXPECT_EQ(sim::personalityOf(m), p);
            EXPECT_TRUE(spellings.insert(upper(m.name)).second) << m.name;
            for (std::string_view other : m.alsoAs) {
                if (!other.empty()) {
                    EXPECT_TRUE(spellings.insert(upper(other)).second) << other;
                }
            }
            const sim::PrinterConfig config = sim::configForModel(m);
            EXPECT_EQ(config.modelReply, m.reply);
            EXPECT_EQ(config.versionReply, m.version);
        }
    }
    EXPECT_EQ(sim::findPersonality("none"), nullptr);
}

TEST(Personalities, PrinterAnswersFromItsPersonalityTable)
{
    // Every row of the mobile table is live in a printer built from it.
    sim::Printer printer(sim::mobilePersonality, {});
    for (const sim::CommandRow& row : sim::mobilePersonality.commands) {
        SCOPED_TRACE(testing::PrintToString(std::string(row.prefix)));
        const auto before = printer.commands().pendingBytes();
        const sim::HandlerResult expected = row.handle(printer.config(), row.prefix);
        const auto replies = printer.receive(row.prefix);
        EXPECT_EQ(printer.commands().pendingBytes(), before);
        if (expected.reply.empty()) {
            EXPECT_TRUE(replies.empty());
        } else {
            ASSERT_EQ(replies.size(), 1u);
            EXPECT_EQ(replies[0], expected.reply);
        }
    }
    EXPECT_EQ(&printer.personality(), &sim::mobilePersonality);
}

} // namespace
