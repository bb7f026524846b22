// Running out of memory while rendering reaches the caller as std::bad_alloc, never
// as part of a page passed off as the page. This binary replaces the global operator
// new so that a chosen allocation fails.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <optional>

#include "index/index.h"
#include "index/indexformat.h"
#include "panel/fixture.h"
#include "panel/kwicrows.h"
#include "panel/panellogic.h"
#include "support/tempdir.h"

namespace {

// Allocations left before the one that fails; negative: none fails.
std::atomic<long> g_allocationsBeforeFailure{-1};

}  // namespace

// The replacements pair malloc with free; GCC takes them for the library's pair.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

// Under AddressSanitizer, memory the libraries got from its operator new may come back
// through this operator delete.
extern "C" const char* __asan_default_options() { return "alloc_dealloc_mismatch=0"; }

void* operator new(std::size_t size) {
    if (g_allocationsBeforeFailure.load() >= 0 && g_allocationsBeforeFailure.fetch_sub(1) == 0) {
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace vyn {
namespace {

// Fails allocation `n` from now on (0: the next one) while it lives.
class CFailingAllocation {
public:
    explicit CFailingAllocation(long n) { g_allocationsBeforeFailure = n; }
    ~CFailingAllocation() { g_allocationsBeforeFailure = -1; }
};

// Calls run with each allocation in turn failing, until one run needs fewer. A run
// whose allocation failed must throw std::bad_alloc, unless absorbs: then it may also
// handle the failure itself. Returns the number of allocations a whole run makes.
template <class Run, class Check>
long FailEachAllocation(Run run, Check afterFailure, bool absorbs = false) {
    for (long n = 0;; ++n) {
        bool threw = false;
        {
            CFailingAllocation failing(n);
            try {
                run();
            } catch (const std::bad_alloc&) {
                threw = true;
            }
            const bool failed = g_allocationsBeforeFailure.load() < 0;
            if (!failed) return n;
            EXPECT_TRUE(threw || absorbs) << "allocation " << n << " failed unseen";
        }
        if (threw) afterFailure(n);
        if (n > 100000) {
            ADD_FAILURE() << "no end";
            return n;
        }
    }
}

class AllocationFailureTest : public testing::Test {
protected:
    void SetUp() override {
        test::BuildPanelCorpus(m_dir.path());
        ASSERT_TRUE(m_panel.Open(m_dir.path(), m_dir / "vyn.txt"));
        ASSERT_TRUE(m_panel.Session().Navigator().SetScopeItem(1));
        m_field = std::u16string(u"甲");
        ASSERT_EQ(m_panel.OnSearch(u"", {&m_field, 1}), CSearchCommand::Outcome::kSearched);
        ASSERT_FALSE(m_panel.Search().Results().empty());
    }

    test::TempDir m_dir;
    test::CRecordingSink m_sink;
    CPanelLogic m_panel{&m_sink};
    std::optional<std::u16string> m_field;
};

TEST_F(AllocationFailureTest, APageIsWholeOrNotAtAll) {
    // The page with its note (record 5), with and without variants.
    for (const bool variants : {false, true}) {
        SCOPED_TRACE(variants);
        ByteString whole;
        ASSERT_GT(m_panel.Index().RenderHitPage(5, whole, u"甲", SearchScope::kWhole, variants), 0);
        ByteString out;
        const long allocations = FailEachAllocation(
            [&] {
                out.clear();
                m_panel.Index().RenderHitPage(5, out, u"甲", SearchScope::kWhole, variants);
            },
            [&](long n) { EXPECT_TRUE(out.empty()) << "allocation " << n << " left " << out.size() << " bytes"; });
        EXPECT_GT(allocations, 0);
        EXPECT_EQ(out, whole);
    }
}

TEST_F(AllocationFailureTest, AResultPageIsWholeOrAFailure) {
    const std::uint32_t record = m_panel.Search().Results().front().pageIndex;
    const ResultPage whole = m_panel.Session().PrepareResultPage(record);
    ASSERT_GT(whole.hitCount, 0);
    std::optional<ResultPage> page;
    FailEachAllocation([&] { page = m_panel.Session().PrepareResultPage(record); }, [](long) {});
    ASSERT_TRUE(page);
    EXPECT_EQ(page->bytes, whole.bytes);
    EXPECT_EQ(page->hitCount, whole.hitCount);
}

// The list's tool tips: a row whose first hit cannot be rendered has none; the rows
// themselves come whole or not at all.
TEST_F(AllocationFailureTest, ListRowsSurviveTipsThatCannotBeMade) {
    std::vector<ResultRow> whole;
    ASSERT_TRUE(m_panel.ListPageRows(whole));
    FailEachAllocation(
        [&] {
            std::vector<ResultRow> rows;
            ASSERT_TRUE(m_panel.ListPageRows(rows));
            ASSERT_EQ(rows.size(), whole.size());
            for (std::size_t i = 0; i < rows.size(); ++i) {
                EXPECT_EQ(rows[i].pageIndex, whole[i].pageIndex);
                EXPECT_TRUE(rows[i].firstHit.empty() || rows[i].firstHit == whole[i].firstHit);
            }
        },
        [](long) {}, true);
}

}  // namespace
}  // namespace vyn
