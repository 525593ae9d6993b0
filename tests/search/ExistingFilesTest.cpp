// Which results of a "file" folder name existing files: by one listing of a
// directory that holds many of them, one by one otherwise, with the file
// system deciding every name a listing does not hold exactly.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/ModulePaths.h"
#include "common/Text.h"
#include "search/ExistingFiles.h"
#include "support/TempDirectory.h"

namespace qv::test {
namespace {

using Answers = std::vector<bool>;

class ExistingFilesTest : public testing::Test {
 protected:
  // A directory of the tree holding the files named; its path.
  std::string Directory(const std::string& name, const std::vector<std::string>& files) {
    std::string directory = dir_.File(name);
    MakeDirectory(directory);
    for (const std::string& file : files) WriteFileText(directory + "\\" + file, "x");
    return directory;
  }
  static std::vector<std::string> Numbered(int count) {
    std::vector<std::string> names;
    for (int i = 1; i <= count; ++i) names.push_back("r" + std::to_string(i) + ".txt");
    return names;
  }
  static std::vector<std::string> In(const std::string& directory, const std::vector<std::string>& names) {
    std::vector<std::string> paths;
    for (const std::string& name : names) paths.push_back(directory + "\\" + name);
    return paths;
  }
  static Answers Check(ExistingFiles& files, const std::vector<std::string>& paths) {
    std::vector<const std::string*> pointers;
    for (const std::string& path : paths) pointers.push_back(&path);
    return files.Check(pointers);
  }
  static Answers OneByOne(const std::vector<std::string>& paths) {
    Answers answers;
    for (const std::string& path : paths) answers.push_back(ResultFileExists(path));
    return answers;
  }

  TempDirectory dir_;
};

TEST_F(ExistingFilesTest, ManyResultsOfADirectoryAreAnsweredByOneListingAsTheFileSystemWould) {
  std::vector<std::string> names = Numbered(10);
  names.insert(names.end(), {"日本語 ノート.txt", "Zoë Ω.txt"});
  std::string many = Directory("many", names);
  MakeDirectory(many + "\\folder.txt");
  // A directory whose path is longer than MAX_PATH.
  std::string deep = dir_.File(std::string(120, 'd'));
  MakeDirectory(deep);
  deep = Directory(std::string(120, 'd') + "\\" + std::string(120, 'e'), Numbered(9));
  ASSERT_GT(ToWide(deep).size(), static_cast<std::size_t>(MAX_PATH));

  std::vector<std::string> paths = In(many, names);
  // Gone, a directory, names that differ from a file's in letter case only,
  // and a name a file's name begins with.
  for (const char* other : {"gone.txt", "folder.txt", "R1.TXT", "日本語 ノート.TXT", "r1.tx", "ZOË Ω.txt"})
    paths.push_back(many + "\\" + other);
  std::vector<std::string> deepPaths = In(deep, Numbered(10));  // r10.txt is not there
  paths.insert(paths.end(), deepPaths.begin(), deepPaths.end());

  ExistingFiles files;
  Answers answers = Check(files, paths);
  EXPECT_EQ(OneByOne(paths), answers);
  // The file system here compares names without regard to case, as NTFS does.
  EXPECT_TRUE(answers[names.size() + 2]);
  EXPECT_FALSE(answers[names.size()]);
  EXPECT_FALSE(answers[names.size() + 1]);
  EXPECT_FALSE(answers.back());
  EXPECT_EQ(2u, files.DirectoriesListed());
  // Only what the listings did not hold by exactly its name was asked alone.
  EXPECT_EQ(7u, files.FilesCheckedOneByOne());

  // Kept in their order, every text as it was.
  std::vector<SearchResultText> results;
  for (const std::string& path : paths) results.push_back({"title of " + path, path});
  std::vector<SearchResultText> expected;
  for (std::size_t i = 0; i < paths.size(); ++i)
    if (answers[i]) expected.push_back(results[i]);
  files.KeepExisting(results, 0);
  ASSERT_EQ(expected.size(), results.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(expected[i].path, results[i].path);
    EXPECT_EQ(expected[i].name, results[i].name);
  }
}

TEST_F(ExistingFilesTest, FewResultsAmongManyFilesAreCheckedOneByOne) {
  std::string directory = Directory("large", Numbered(100));
  std::vector<std::string> all = In(directory, Numbered(100));
  struct Case {
    std::size_t results;
    std::size_t listed;  // listings made for them
  };
  // Below the results a listing needs; too few for a directory this large;
  // enough to pay for reading it.
  for (Case c : {Case{ExistingFiles::kListingResults - 2, 0}, Case{10, 0}, Case{20, 1}}) {
    std::vector<std::string> paths(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(c.results));
    paths.push_back(directory + "\\gone.txt");
    ExistingFiles files;
    Answers expected(c.results, true);
    expected.push_back(false);
    EXPECT_EQ(expected, Check(files, paths)) << c.results;
    EXPECT_EQ(c.listed, files.DirectoriesListed()) << c.results;
    EXPECT_EQ(c.listed ? 1 : c.results + 1, files.FilesCheckedOneByOne()) << c.results;
  }
}

TEST_F(ExistingFilesTest, PathsNoListingCanAnswerAreLeftToTheFileSystem) {
  std::string directory = Directory("plain", Numbered(10));
  std::vector<std::string> paths;
  for (const std::string& name : Numbered(10)) {
    std::string forward = directory + "/" + name;
    paths.push_back(forward);
    paths.push_back(directory + "\\.\\" + name);
    paths.push_back(directory + "\\..\\plain\\" + name);
    paths.push_back(directory + "\\\\" + name);
  }
  paths.push_back("");
  paths.push_back(directory + "\\r*.txt");
  paths.push_back("relative\\r1.txt");
  ExistingFiles files;
  EXPECT_EQ(OneByOne(paths), Check(files, paths));
  EXPECT_EQ(0u, files.DirectoriesListed());
}

// Deletes one file and makes another once its directory is listed, before the
// results are looked up in the listing.
class ChangingBetweenListingAndCheck : public ExistingFiles {
 public:
  ChangingBetweenListingAndCheck(std::string deleted, std::string created)
      : deleted_(std::move(deleted)), created_(std::move(created)) {}

 protected:
  void Listed(const std::wstring&) override {
    DeleteFileW(ExtendedLengthPath(ToWide(deleted_)).c_str());
    WriteFileText(created_, "x");
  }

 private:
  std::string deleted_;
  std::string created_;
};

TEST_F(ExistingFilesTest, ResultsChangedBetweenListingAndCheckAreAnsweredAsAtTheirCheck) {
  // Listed by the check itself, and named ahead so that the worker lists it.
  for (bool ahead : {false, true}) {
    std::string directory = Directory(ahead ? "changing ahead" : "changing", Numbered(10));
    std::vector<std::string> paths = In(directory, Numbered(10));
    paths.push_back(directory + "\\late.txt");
    ChangingBetweenListingAndCheck files(paths[1], paths.back());
    std::vector<const std::string*> pointers;
    for (const std::string& path : paths) pointers.push_back(&path);
    if (ahead) files.Expect(pointers);
    Answers answers = Check(files, paths);
    EXPECT_EQ(1u, files.DirectoriesListed()) << ahead;
    // A file deleted after the listing counts as there, as it would had it been
    // deleted a moment after its own check; one made after the listing is found
    // by its own check. Every other result keeps its answer.
    Answers expected(paths.size(), true);
    EXPECT_EQ(expected, answers) << ahead;
    EXPECT_EQ(1u, files.FilesCheckedOneByOne()) << ahead;
    // The next check lists the directory anew.
    EXPECT_FALSE(Check(files, paths)[1]) << ahead;
    EXPECT_EQ(2u, files.DirectoriesListed()) << ahead;
  }
}

// Results named ahead are checked in batches, each directory listed once for
// all of them (the listing came after they all arrived); a directory holding
// too few of them is not listed, and answers match the file system's.
TEST_F(ExistingFilesTest, ResultsExpectedAheadAreAnsweredInBatchesByOneListing) {
  std::string many = Directory("ahead", Numbered(40));
  std::string few = Directory("few", Numbered(40));
  std::vector<std::string> paths = In(many, Numbered(45));  // r41.txt to r45.txt are not there
  std::vector<std::string> fewPaths = In(few, Numbered(2));
  paths.insert(paths.begin() + 10, fewPaths.begin(), fewPaths.end());
  std::vector<const std::string*> pointers;
  for (const std::string& path : paths) pointers.push_back(&path);
  ExistingFiles files;
  files.Expect(pointers);
  Answers answers;
  for (std::size_t from = 0; from < paths.size(); from += 6) {
    std::vector<std::string> batch(paths.begin() + static_cast<std::ptrdiff_t>(from),
                                   paths.begin() + static_cast<std::ptrdiff_t>(std::min(from + 6, paths.size())));
    Answers part = Check(files, batch);
    answers.insert(answers.end(), part.begin(), part.end());
  }
  EXPECT_EQ(OneByOne(paths), answers);
  EXPECT_EQ(1u, files.DirectoriesListed());
  // The two of the small directory and the five missing ones.
  EXPECT_EQ(7u, files.FilesCheckedOneByOne());
  // Once they are all checked, a check lists afresh.
  Check(files, In(many, Numbered(10)));
  EXPECT_EQ(2u, files.DirectoriesListed());
}

// A check that cannot wait (the rows before the window first paints) answers
// its results one by one without holding up for a listing, and the listing it
// did not wait for answers the checks that follow; a check that does not wait
// never starts a listing named ahead, one that waits does.
TEST_F(ExistingFilesTest, ACheckThatCannotWaitAnswersAloneAndLeavesTheListingToTheNext) {
  std::string directory = Directory("not waiting", Numbered(300));
  std::vector<std::string> paths = In(directory, Numbered(310));  // the last ten are not there
  std::vector<const std::string*> pointers;
  for (const std::string& path : paths) pointers.push_back(&path);
  const std::vector<std::string> first(paths.begin(), paths.begin() + 20);
  const std::vector<std::string> rest(paths.begin() + 20, paths.end());
  for (bool listNow : {false, true}) {
    ExistingFiles files;
    files.Expect(pointers, listNow);
    Answers answers = files.Check({pointers.begin(), pointers.begin() + 20}, /*waitForListings=*/false);
    EXPECT_EQ(OneByOne(first), answers) << listNow;
    if (!listNow) {
      EXPECT_EQ(0u, files.DirectoriesListed());
    }
    EXPECT_EQ(20u - files.DirectoriesListed() * 20, files.FilesCheckedOneByOne()) << listNow;
    std::size_t alone = files.FilesCheckedOneByOne();
    EXPECT_EQ(OneByOne(rest), Check(files, rest)) << listNow;
    EXPECT_EQ(1u, files.DirectoriesListed()) << listNow;
    // Only the missing ones were asked alone.
    EXPECT_EQ(alone + 10, files.FilesCheckedOneByOne()) << listNow;
  }
  // Dropped, or named new results, while the worker lists: nothing waits for it.
  for (int i = 0; i < 4; ++i) {
    ExistingFiles files;
    files.Expect(pointers);
    if (i % 2) files.Expect({pointers.begin(), pointers.begin() + 10});
  }
}

}  // namespace
}  // namespace qv::test
