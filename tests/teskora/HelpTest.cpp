#include <cctype>
#include <memory>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "teskora/Help.hpp"

namespace
{

// Owns the table the way its callers must release it.
struct HelpTable
{
    HelpTable() : size(TESKORA::dim_help_data()), data(TESKORA::get_help_data()) {}
    ~HelpTable()
    {
        for (int i = 0; i < size; ++i)
        {
            delete[] data[i];
        }
        delete[] data;
    }
    int size;
    std::string** data;
};

bool hasLowerCase(const std::string& s)
{
    for (char c : s)
    {
        if (std::islower(static_cast<unsigned char>(c)))
        {
            return true;
        }
    }
    return false;
}

} // namespace

TEST(TeskoraHelp, TableHasUniqueUpperCaseKeywords)
{
    HelpTable table;
    ASSERT_EQ(32, table.size);
    std::set<std::string> keywords;
    for (int i = 0; i < table.size; ++i)
    {
        const std::string* entry = table.data[i];
        SCOPED_TRACE(entry[0]);
        EXPECT_FALSE(entry[0].empty());
        EXPECT_FALSE(hasLowerCase(entry[0]));
        EXPECT_TRUE(keywords.insert(entry[0]).second) << "duplicate keyword";
        EXPECT_FALSE(entry[2].empty());
        // Only the Matlab server entries, the last seven, list mixed-case related words.
        EXPECT_EQ(i >= 25, hasLowerCase(entry[1]));
        EXPECT_EQ(std::string::npos, entry[1].find("  "));
    }
    EXPECT_EQ("GENERAL", table.data[0][0]);
    EXPECT_EQ("TESKORA_SERVER_STOP", table.data[31][0]);
    EXPECT_EQ("Defines a text file in which informations will be recorded.", table.data[21][2]);
}
