#include "fourier/size_fit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "support/scripted_ui.h"

namespace {

bool OnlyFactors235(int v) {
    for (int p : {2, 3, 5})
        while (v % p == 0) v /= p;
    return v == 1;
}

// Every qualifying size not larger than W x H, in the order the fitting visits them; the
// visit ends at once when the picture's own rounded size qualifies.
std::vector<CSize> AllCandidates(int W, int H) {
    std::vector<CSize> all;
    for (int h = H / 2 * 2; h > 0; h -= 2)
        for (int w = W / 4 * 4; w > 0; w -= 4)
            if (OnlyFactors235(w) && OnlyFactors235(h) && std::lcm(w, h) <= 4096) {
                all.push_back({w, h});
                if (w == W / 4 * 4 && h == H / 2 * 2) return all;
            }
    return all;
}

int64_t Area(const CSize& s) {
    return static_cast<int64_t>(s.cx) * s.cy;
}

class SizeFit : public testing::Test {
protected:
    CScriptedUi m_ui;
    CUiScope m_scope{m_ui};
    CSize m_chosen{-1, -1};
};

}  // namespace

TEST_F(SizeFit, QualifyingSizesAreTakenWithoutAsking) {
    const int cases[][5] = {{640, 480, 640, 480, 1920},
                            {1024, 768, 1024, 768, 3072},
                            {643, 481, 640, 480, 1920},
                            {4096, 2, 4096, 2, 4096},
                            {5, 3, 4, 2, 4}};
    for (const auto& [W, H, w, h, n] : cases) {
        EXPECT_EQ(FitSize(W, H, m_chosen), n) << W << "x" << H;
        EXPECT_EQ(m_chosen, (CSize{w, h}));
    }
    m_chosen = {-1, -1};
    for (const auto& [W, H] : {std::pair{3, 100}, std::pair{100, 1}, std::pair{-8, 4}})
        EXPECT_EQ(FitSize(W, H, m_chosen), 0);
    EXPECT_EQ(m_chosen, (CSize{-1, -1}));
    EXPECT_TRUE(m_ui.OfferedSizes().empty());

    EXPECT_EQ(TransformLength(640, 480), 1920);
    EXPECT_EQ(TransformLength(4096, 6), 0);  // lcm 12288
    EXPECT_EQ(TransformLength(6, 4), 0);
    EXPECT_EQ(TransformLength(700, 700), 0);
}

TEST_F(SizeFit, SevenHundredSquareOffersTwentySizes) {
    EXPECT_EQ(FitSize(700, 700, m_chosen), 648);
    EXPECT_EQ(m_chosen, (CSize{648, 648}));
    const std::vector<CSize> expected = {
        {648, 648}, {640, 640}, {600, 600}, {540, 648}, {648, 540}, {576, 576}, {512, 640},
        {640, 512}, {648, 486}, {480, 640}, {640, 480}, {500, 600}, {600, 500}, {540, 540},
        {480, 600}, {600, 480}, {432, 648}, {648, 432}, {480, 576}, {576, 480}};
    EXPECT_EQ(SizeList(), expected);
    ASSERT_EQ(m_ui.OfferedSizes().size(), 1u);
    EXPECT_EQ(m_ui.OfferedSizes()[0], expected);
    EXPECT_EQ(SizeListLine(SizeList()[3]), "X, 540, Y= 648");

    // Cancel gives nothing; a selection gives that entry and its own N; a selection outside
    // the list keeps the best size.
    m_ui.ScriptSizeChoice({false, 0});
    m_chosen = {-1, -1};
    EXPECT_EQ(FitSize(700, 700, m_chosen), 0);
    EXPECT_EQ(m_chosen, (CSize{-1, -1}));
    m_ui.ScriptSizeChoice({true, 3});
    EXPECT_EQ(FitSize(700, 700, m_chosen), 3240);
    EXPECT_EQ(m_chosen, (CSize{540, 648}));
    m_ui.ScriptSizeChoice({true, 20});
    EXPECT_EQ(FitSize(700, 700, m_chosen), 648);
    EXPECT_EQ(m_chosen, (CSize{648, 648}));
}

TEST_F(SizeFit, ListAndBestSizeFollowTheRulesForAnyPicture) {
    // Brute force: all candidates in visiting order, stably sorted by area, the first 20;
    // the best size is the last candidate of the largest area.
    const std::pair<int, int> pictures[] = {{4100, 2},  {700, 700}, {1000, 999},
                                            {333, 777}, {130, 98},  {5000, 3000},
                                            {12, 3},    {8, 9},     {648, 649}};
    for (const auto& [W, H] : pictures) {
        SCOPED_TRACE(testing::Message() << W << "x" << H);
        m_ui.Clear();
        std::vector<CSize> all = AllCandidates(W, H);
        ASSERT_FALSE(all.empty());
        CSize best = all[0];
        for (const CSize& s : all)
            if (Area(s) >= Area(best)) best = s;
        std::stable_sort(all.begin(), all.end(),
                         [](const CSize& a, const CSize& b) { return Area(a) > Area(b); });
        all.resize(std::min<size_t>(all.size(), 20));

        const int32_t n = FitSize(W, H, m_chosen);
        EXPECT_EQ(SizeList(), all);
        EXPECT_EQ(m_chosen, best);
        EXPECT_EQ(n, std::lcm(best.cx, best.cy));
        EXPECT_EQ(m_ui.OfferedSizes().size(), all.size() > 1 ? 1u : 0u);
    }
    FitSize(4100, 2, m_chosen);
    EXPECT_EQ(std::vector<CSize>(SizeList().begin(), SizeList().begin() + 5),
              (std::vector<CSize>{{4096, 2}, {4000, 2}, {3888, 2}, {3840, 2}, {3600, 2}}));
}
