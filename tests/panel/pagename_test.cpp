#include "panel/pagename.h"

#include <gtest/gtest.h>

#include "panel/fixture.h"
#include "support/tempdir.h"

namespace vyn {
namespace {

using test::CatalogRecordBytes;

TEST(PageName, NamesTheVolumeItsBookAndCategory) {
    test::TempDir dir;
    test::WriteFile(dir / "vyn.dir",
                    CatalogRecordBytes(u"唐詩", 1, 1, 9, 1) +        // 1
                        CatalogRecordBytes(u"御定全唐詩", 2, 1, 9, 1) +  // 2
                        CatalogRecordBytes(u"卷一", 3, 1, 5, 1) +       // 3
                        CatalogRecordBytes(u"卷/二\\", 3, 6, 4, 3) +    // 4
                        CatalogRecordBytes(u"別集", 1, 10, 1, 1) +      // 5
                        CatalogRecordBytes(u"卷外", 3, 10, 1, 1));      // 6: no book since 5
    CCatalog catalog;
    ASSERT_TRUE(catalog.LoadCatalog(dir / "vyn.dir", {}));
    const struct {
        const char* name;
        int slot;
        int page;
        bool named;
        std::u16string category, book, volume, pdf;
    } cases[] = {
        {"FirstPage", 3, 1, true, u"唐詩", u"御定全唐詩", u"卷一", u"御定全唐詩_卷一_第1頁.pdf"},
        {"UnsafeCharacters", 4, 12, true, u"唐詩", u"御定全唐詩", u"卷/二\\",
         u"御定全唐詩_卷_二__第12頁.pdf"},
        // The tree puts a volume after a category without book under the last book.
        {"VolumeAfterACategoryWithoutBook", 6, 1, true, u"唐詩", u"御定全唐詩", u"卷外",
         u"御定全唐詩_卷外_第1頁.pdf"},
        {"BookIsNoVolume", 2, 1, false, u"", u"", u"", u""},
        {"EmptySlot", 7, 1, false, u"", u"", u"", u""},
        {"SlotZero", 0, 1, false, u"", u"", u"", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PageName name;
        name.book = u"kept";
        ASSERT_EQ(NamePage(catalog, c.slot, c.page, name), c.named);
        if (!c.named) {
            EXPECT_EQ(name.book, u"kept");
            continue;
        }
        EXPECT_EQ(name.category, c.category);
        EXPECT_EQ(name.book, c.book);
        EXPECT_EQ(name.volume, c.volume);
        EXPECT_EQ(name.page, c.page);
        EXPECT_EQ(PdfFileName(name), c.pdf);
    }
}

}  // namespace
}  // namespace vyn
