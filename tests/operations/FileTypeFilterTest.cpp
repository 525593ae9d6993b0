#include <gtest/gtest.h>

#include "operations/FileTypeFilter.h"

namespace qv {
namespace {

TEST(FileTypeFilter, ExtensionIsTheFileNamesOwn) {
  EXPECT_EQ("pdf", FileTypeExtension("C:\\docs\\report.pdf"));
  EXPECT_EQ("jpeg", FileTypeExtension("C:\\a.b\\photo.tar.jpeg"));
  EXPECT_EQ(std::nullopt, FileTypeExtension("C:\\docs\\README"));
  EXPECT_EQ(std::nullopt, FileTypeExtension("C:\\my.dir\\README")) << "the dot of a directory";
  EXPECT_EQ(std::nullopt, FileTypeExtension("C:\\docs\\archive.backup"));
  EXPECT_EQ(std::nullopt, FileTypeExtension("C:\\docs\\trailing."));
  EXPECT_EQ(std::nullopt, FileTypeExtension(nullptr));
}

TEST(FileTypeFilter, RewritesAppendAndRepeat) {
  EXPECT_EQ("report filetype:pdf", ShowOnlyQuery("report", "pdf"));
  EXPECT_EQ("Invoices -filetype:pdf", HideQuery("Invoices", "pdf"));
  EXPECT_EQ("report -filetype:pdf -filetype:pdf", HideQuery(*HideQuery("report", "pdf"), "pdf"));
  EXPECT_EQ("pdf files", FileTypeFolderName("pdf"));
}

TEST(FileTypeFilter, RefusesAStringThatWouldNotFitTheField) {
  std::string longest(199 - std::string(" filetype:pdf").size(), 'q');
  EXPECT_EQ(199u, ShowOnlyQuery(longest, "pdf")->size());
  EXPECT_EQ(std::nullopt, ShowOnlyQuery(longest + "q", "pdf"));
  EXPECT_EQ(std::nullopt, HideQuery(longest, "pdf"));
}

}  // namespace
}  // namespace qv
