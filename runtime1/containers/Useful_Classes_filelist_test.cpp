// The folder-efficient file list.
#include "runtime1/containers/Useful_Classes_filelist.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/CaseMapping.h"
#include "platform/Exceptions.h"

namespace qn {
namespace {

TMySimpleSearchRec Rec(std::u16string name, double date = 0, int32_t size = 0) {
  TMySimpleSearchRec r;
  r.ShortName = std::move(name);
  r.DateTime = date;
  r.Size = size;
  return r;
}

std::vector<std::u16string> FullNames(const TFolderEfficientFileStringlist& list) {
  const auto names = list.GetAsStringlist();
  std::vector<std::u16string> v;
  for (int32_t i = 0; i < names->Count(); ++i) v.push_back((*names)[i]);
  return v;
}

TEST(TFolderEfficientFileStringlist, FoldersAreKeptOnce) {
  TFolderEfficientFileStringlist list;
  EXPECT_EQ(list.AddOne(u"C:\\texts\\a.txt"), 0);
  EXPECT_EQ(list.Add(u"C:\\texts\\b.txt"), 1);
  EXPECT_EQ(list.AddOne(u"D:\\x\\a.txt"), 2);
  EXPECT_EQ(list.Count(), 3);
  ASSERT_EQ(list.Folders().Count(), 2);
  EXPECT_EQ(list.Folders()[0], u"C:\\texts\\");
  EXPECT_EQ(list.GetFullFilename(2), u"D:\\x\\a.txt");
  EXPECT_EQ(list.GetFullFilename(3), u"");
  EXPECT_EQ(list.GetFullFilename(-1), u"");
  const TMySimpleSearchRec r = list.GetASimpleSearchRec(2);
  EXPECT_EQ(r.ShortName, u"a.txt");
  EXPECT_EQ(r.folder_number, 1);
  EXPECT_EQ(r.DateTime, 0);
  EXPECT_EQ(r.Size, 0);
  EXPECT_EQ(list.GetASimpleSearchRec(3), TMySimpleSearchRec{});
  EXPECT_EQ(list.Files().Get(7), u"");
  EXPECT_EQ(list.Files().GetAFolderNumber(-1), 0);
  EXPECT_EQ(list.Files().GetAFolderNumber(1), 0);
  EXPECT_EQ(FullNames(list), (std::vector<std::u16string>{u"C:\\texts\\a.txt", u"C:\\texts\\b.txt", u"D:\\x\\a.txt"}));
}

TEST(TFolderEfficientFileStringlist, FullNameLookupChecksTheFolder) {
  TFolderEfficientFileStringlist list;
  list.AddOne(u"C:\\texts\\a.txt");
  list.AddOne(u"C:\\texts\\b.txt");
  list.AddOne(u"D:\\x\\a.txt");
  EXPECT_EQ(list.IndexOfFullName(u"D:\\x\\a.txt"), 2);  // not the a.txt of the other folder
  EXPECT_EQ(list.IndexOfFullName(u"C:\\texts\\a.txt"), 0);
  EXPECT_EQ(list.IndexOfFullName(u"D:\\x\\b.txt"), -1);
  EXPECT_EQ(list.IndexOfFullName(u"E:\\a.txt"), -1);
  EXPECT_EQ(list.IndexOfFullName(u"a.txt"), -1);
  EXPECT_EQ(list.IndexOfShortName(u"a.txt"), 0);
  EXPECT_EQ(list.IndexOfShortName(u"c.txt"), -1);
}

TEST(TFolderEfficientFileStringlist, FoldersDifferingInCaseStayApart) {
  TFolderEfficientFileStringlist list;
  list.AddOne(u"/data/A/y.txt");
  list.AddOne(u"/data/a/y.txt");
  list.AddOne(u"/data/a/Z.txt");
  EXPECT_EQ(list.Folders().Count(), 2);
  EXPECT_EQ(list.GetFullFilename(1), u"/data/a/y.txt");
  EXPECT_EQ(list.IndexOfFullName(u"/data/a/y.txt"), 1);
  EXPECT_EQ(list.IndexOfFullName(u"/data/A/y.txt"), 0);
  // Without an exact match, a match without regard to case.
  EXPECT_EQ(list.IndexOfFullName(u"/DATA/A/Y.TXT"), 0);
  EXPECT_EQ(list.IndexOfFullName(u"/data/a/z.txt"), 2);
  EXPECT_EQ(list.IndexOfFullName(u"/data/a/\u017D.txt"), -1);
  EXPECT_EQ(list.IndexOfShortName(u"Y.TXT"), 0);
  EXPECT_EQ(list.IndexOfShortName(u"z.txt"), 2);
  EXPECT_EQ(list.IndexOfShortName(u"Z.txt"), 2);
}

TEST(TFolderEfficientFileStringlist, DelimitersAndFolderNumbers) {
  TFolderEfficientFileStringlist list;
  list.AddOne(u"/srv/corpus", Rec(u"z.txt", 45000.5, 12));
  list.AddOne(u"C:\\t", Rec(u"z.txt"));
  list.AddOne(u"C:\\a/b", Rec(u"z.txt"));
  list.AddOne(u"/srv/", Rec(u"z.txt"));
  list.AddOne(u"a.txt");                  // no folder at all
  list.AddOne(u"/srv/corpus", Rec(u"w.txt"));  // the same folder again
  TMySimpleSearchRec elsewhere = Rec(u"q.txt");
  elsewhere.folder_number = 3;
  list.AddOne(99, elsewhere);
  EXPECT_EQ(FullNames(list), (std::vector<std::u16string>{u"/srv/corpus/z.txt", u"C:\\t\\z.txt", u"C:\\a/b/z.txt",
                                                          u"/srv/z.txt", u"a.txt", u"/srv/corpus/w.txt", u"q.txt"}));
  EXPECT_EQ(list.Folders().Count(), 5);
  EXPECT_EQ(list.GetASimpleSearchRec(0).DateTime, 45000.5);
  EXPECT_EQ(list.GetASimpleSearchRec(0).Size, 12);
  EXPECT_EQ(list.GetASimpleSearchRec(5).folder_number, 0);
  EXPECT_EQ(list.GetASimpleSearchRec(6).folder_number, 99);
  EXPECT_EQ(list.IndexOfFullName(u"a.txt"), 4);  // the empty folder is a folder too
  // A folder given without its delimiter is found in that form only.
  EXPECT_EQ(list.IndexOfFullName(u"/srv/corpus/w.txt"), -1);
  EXPECT_EQ(list.IndexOfFullName(u"/srv/z.txt"), 3);
}

TEST(TFolderEfficientFileStringlist, SetFullFilenameChangesOnlyTheEntry) {
  TFolderEfficientFileStringlist list;
  list.AddOne(u"C:\\texts\\a.txt");
  list.AddOne(u"D:\\x\\a.txt");
  list.SetFullFilename(0, u"E:\\y\\z.txt");
  list.SetFullFilename(5, u"E:\\y\\w.txt");
  EXPECT_EQ(list.IndexOfShortName(u"z.txt"), 0);
  EXPECT_EQ(list.IndexOfShortName(u"a.txt"), 1);
  EXPECT_EQ(list.GetFullFilename(0), u"C:\\texts\\a.txt");
  EXPECT_EQ(list.Files().Get(0), u"a.txt");
  EXPECT_EQ(list.Files().platform::TStringList::Get(0), u"z.txt");
  EXPECT_EQ(list.IndexOfFullName(u"C:\\texts\\z.txt"), 0);
  EXPECT_EQ(list.IndexOfFullName(u"C:\\texts\\a.txt"), -1);
}

TEST(TFolderEfficientFileStringlist, DeleteAndClear) {
  TFolderEfficientFileStringlist list;
  list.AddOne(u"/a/x.txt");
  list.AddOne(u"/b/x.txt");
  list.AddOne(u"/b/y.txt");
  list.Delete(0);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.IndexOfShortName(u"x.txt"), 0);
  EXPECT_EQ(list.IndexOfFullName(u"/b/y.txt"), 1);
  EXPECT_EQ(list.IndexOfFullName(u"/a/x.txt"), -1);
  EXPECT_THROW(list.Delete(2), EListError);
  EXPECT_THROW(list.Delete(-1), EListError);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Folders().Count(), 0);
  EXPECT_EQ(list.IndexOfShortName(u"x.txt"), -1);
  EXPECT_EQ(list.IndexOfFullName(u"/b/y.txt"), -1);
  EXPECT_EQ(list.AddOne(u"/c/x.txt"), 0);
  EXPECT_EQ(list.IndexOfFullName(u"/c/x.txt"), 0);
  EXPECT_EQ(list.GetASimpleSearchRec(0).folder_number, 0);
}

TEST(TFolderEfficientFileStringlist, Sorts) {
  TFolderEfficientFileStringlist list;
  list.AddOne(u"/f1/", Rec(u"b", 3.0, 30));
  list.AddOne(u"/f0/", Rec(u"a", 1.0, 10));
  list.AddOne(u"/f1/", Rec(u"c", 2.0, 10));
  list.AddOne(u"/f0/", Rec(u"d", 5.0, 20));
  const auto order = [&] {
    std::u16string s;
    for (int32_t i = 0; i < list.Count(); ++i) s += list.Files().Get(i);
    return s;
  };
  list.DoASort(ss_none, ss_size, false);
  EXPECT_EQ(order(), u"bacd");
  EXPECT_EQ(list.sort_1, ss_none);
  EXPECT_EQ(list.sort_2, ss_size);
  list.DoASort(ss_date, ss_date, true);
  EXPECT_EQ(order(), u"dbca");  // latest first
  EXPECT_EQ(list.sort_2, ss_date);
  list.DoASort(ss_date, ss_date, false);
  EXPECT_EQ(order(), u"acbd");
  list.DoASort(ss_size, ss_shortname, true);
  EXPECT_EQ(order(), u"acdb");
  list.DoASort(ss_size, ss_shortname, false);
  EXPECT_EQ(order(), u"bdca");
  list.DoASort(ss_folder, ss_date, true);  // /f1/ is folder 0
  EXPECT_EQ(order(), u"bcda");
  list.DoASort(ss_shortname, ss_none, true);
  EXPECT_EQ(order(), u"abcd");
  // Lookups follow the new order.
  EXPECT_EQ(list.IndexOfShortName(u"c"), 2);
  EXPECT_EQ(list.IndexOfFullName(u"/f0/d"), 3);
  EXPECT_EQ(list.GetFullFilename(0), u"/f0/a");
}

// The lookups against a scan from the start, through adds, deletes, renames
// and sorts with many repeated names.
TEST(TFolderEfficientFileStringlist, LookupsAnswerLikeAScan) {
  std::mt19937 rng(44);
  TFolderEfficientFileStringlist list;
  const std::u16string folders[] = {u"/p/", u"/P/", u"C:\\q\\", u"/r/"};
  const std::u16string names[] = {u"a", u"A", u"b", u"\u00E9", u"\u00C9", u"c"};
  const auto folded = [](const std::u16string& s) {
    return platform::LowerCased(platform::UpperCased(s));
  };
  const auto scanShort = [&](const std::u16string& name) {
    for (int pass = 0; pass < 2; ++pass) {
      for (int32_t i = 0; i < list.Count(); ++i) {
        const std::u16string& e = list.Files().platform::TStringList::Get(i);
        if (pass == 0 ? e == name : folded(e) == folded(name)) return i;
      }
    }
    return -1;
  };
  const auto scanFull = [&](const std::u16string& folder, const std::u16string& name) {
    int32_t f = -1;
    for (int pass = 0; pass < 2 && f < 0; ++pass) {
      for (int32_t i = 0; i < list.Folders().Count() && f < 0; ++i) {
        if (pass == 0 ? list.Folders()[i] == folder : folded(list.Folders()[i]) == folded(folder)) f = i;
      }
    }
    if (f < 0) return -1;
    for (int pass = 0; pass < 2; ++pass) {
      for (int32_t i = 0; i < list.Count(); ++i) {
        if (list.Files().GetAFolderNumber(i) != f) continue;
        const std::u16string& e = list.Files().platform::TStringList::Get(i);
        if (pass == 0 ? e == name : folded(e) == folded(name)) return i;
      }
    }
    return -1;
  };
  for (int step = 0; step < 1500; ++step) {
    const std::u16string& folder = folders[rng() % 4];
    const std::u16string& name = names[rng() % 6];
    switch (rng() % 10) {
      case 0:
        if (list.Count() > 0) list.Delete(static_cast<int32_t>(rng() % list.Count()));
        break;
      case 1:
        if (list.Count() > 0) list.SetFullFilename(static_cast<int32_t>(rng() % list.Count()), folder + name);
        break;
      case 2:
        list.DoASort(static_cast<TMySimpleSearchRecSort>(rng() % 5), ss_shortname, rng() % 2 == 0);
        break;
      case 3:
      case 4:
      case 5:
        list.AddOne(folder + name);
        break;
      default:
        ASSERT_EQ(list.IndexOfShortName(name), scanShort(name)) << step;
        ASSERT_EQ(list.IndexOfFullName(folder + name), scanFull(folder, name)) << step;
    }
  }
}

}  // namespace
}  // namespace qn
