#include "Model/Persistence/statetextshares.h"

#include <QByteArray>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace CELLVANE_TEST_FILE {

using Model::Automaton::CellIndex;
using Model::Persistence::StateTextShares;

namespace {

// What the shares must say, worked out a byte at a time.
struct Expected {
    std::size_t runEnd = 0;
    std::size_t wholePartsEnd = 0;
    CellIndex wholeParts = 0;
};

bool digitOrSpace(char c) {
    return c == ' ' || (c >= '0' && c <= '9');
}

Expected expectedOf(const QByteArray& text) {
    Expected e;
    while (e.runEnd < std::size_t(text.size()) && digitOrSpace(text[int(e.runEnd)]))
        ++e.runEnd;
    for (std::size_t i = 0; i < e.runEnd; ++i) {
        if (text[int(i)] == ' ')
            e.wholePartsEnd = i + 1;
    }
    for (std::size_t i = 0; i < e.wholePartsEnd; ++i)
        e.wholeParts += text[int(i)] != ' ' && (i == 0 || text[int(i) - 1] == ' ');
    return e;
}

// Parts that begin before each byte.
std::vector<CellIndex> partsBefore(const QByteArray& text) {
    std::vector<CellIndex> before(std::size_t(text.size()) + 1, 0);
    for (int i = 0; i < text.size(); ++i)
        before[std::size_t(i) + 1] =
            before[std::size_t(i)] + (text[i] != ' ' && (i == 0 || text[i - 1] == ' '));
    return before;
}

void checkShares(const QByteArray& text, std::size_t shareBytes, QThreadPool& pool,
                 const std::string& name) {
    const StateTextShares shares(text.constData(), std::size_t(text.size()), shareBytes, pool);
    const Expected e = expectedOf(text);
    const std::string where = name + ", shares of " + std::to_string(shareBytes) + ", " +
                              std::to_string(pool.maxThreadCount()) + " threads";
    ASSERT_EQ(shares.runEnd(), e.runEnd) << where;
    ASSERT_EQ(shares.wholePartsEnd(), e.wholePartsEnd) << where;
    ASSERT_EQ(shares.wholeParts(), e.wholeParts) << where;
    // The shares cover the whole parts in order, each knowing the parts before it.
    const std::vector<CellIndex> before = partsBefore(text);
    std::size_t covered = 0;
    for (const StateTextShares::Share& share : shares.getShares()) {
        ASSERT_EQ(share.begin, covered) << where;
        ASSERT_GT(share.end, share.begin) << where;
        ASSERT_EQ(share.partsBefore, before[share.begin]) << where;
        covered = share.end;
    }
    ASSERT_EQ(covered, e.wholePartsEnd) << where;
}

} // namespace

// Shares cut anywhere, a part, a space or a stop at either side of a cut, one to eight threads:
// every count is the one read a byte at a time.
TEST(StateTextShares, FindTheRunAndCountItsPartsWhereverTheSharesAreCut) {
    QByteArray long1;
    for (int i = 0; i < 3000; ++i)
        long1 += QByteArray::number(i % 3 == 0 ? i % 10 : i * 7 % 1000) + ' ';
    const struct {
        const char* name;
        QByteArray text;
    } cases[] = {
        {"empty", ""},
        {"one part unended", "123"},
        {"one part", "7 "},
        {"single digits", "1 1 1 0 0 2 0 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 "},
        {"leading and double spaces", "   12  3 45    6 "},
        {"ends in a part", "1 22 333 4444"},
        {"end tag", "1 2 3 4 5 6 7 8 9 10 11 12</State><Position/>"},
        {"stop within a part", "10 20 3x0 40 "},
        {"stop at once", "<1 2 3 "},
        {"spaces only", "                                   "},
        {"long digits", QByteArray(100, '9') + " 1 " + QByteArray(40, '8')},
        {"many ids then more text", long1 + "</State><State>1 2 3 </State>"},
    };
    for (const int threads : {1, 2, 3, 8}) {
        QThreadPool pool;
        pool.setMaxThreadCount(threads);
        for (const auto& c : cases) {
            for (const std::size_t shareBytes : {1, 2, 3, 5, 16, 17, 64, 1 << 20})
                checkShares(c.text, shareBytes, pool, c.name);
        }
    }
}

// The run is scanned sixteen and then one byte at a time: a byte that is neither digit nor space
// ends it wherever it stands, whatever its value.
TEST(StateTextShares, TheRunEndsAtTheFirstByteThatIsNeitherDigitNorSpace) {
    const QByteArray digits = "12 3456 7 89 0 1 23 45 6 7 8 9 0 12 ";
    QThreadPool pool;
    pool.setMaxThreadCount(2);
    for (int stop = 0; stop < 256; ++stop) {
        if (stop == ' ' || (stop >= '0' && stop <= '9'))
            continue;
        for (int at = 0; at < digits.size(); ++at) {
            QByteArray text = digits;
            text[at] = char(stop);
            ASSERT_EQ(StateTextShares::runLength(text.constData(), std::size_t(text.size())),
                      std::size_t(at))
                << "byte " << stop << " at " << at;
            checkShares(text, 7, pool,
                        "byte " + std::to_string(stop) + " at " + std::to_string(at));
        }
    }
}

} // namespace CELLVANE_TEST_FILE
