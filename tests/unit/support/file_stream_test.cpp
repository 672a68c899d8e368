// FileStream against stdio on the same temporary files: ReadLine against fgets
// with buffers smaller than, equal to and larger than the lines and the stream's
// own 512-byte buffer; ScanDecimalFromFile and ReadByte against fscanf("%d") and
// fgetc, interleaved the way a reader of mixed input uses them.
#include "support/file_stream.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// A file of the given content in GoogleTest's temporary directory, removed again.
struct TempFile {
  explicit TempFile(const std::string& content) : path(testing::TempDir() + "tolvane_file_stream_XXXXXX") {
    const int fd = mkstemp(path.data());
    EXPECT_LE(0, fd) << path;
    EXPECT_EQ(static_cast<ssize_t>(content.size()), write(fd, content.data(), content.size()));
    close(fd);
  }
  ~TempFile() { unlink(path.c_str()); }

  std::string path;
};

TEST(FileStream, ReadLineMatchesFgets) {
  std::vector<std::string> contents = {
      "", "\n\n\n", "no final newline", "a\r\nb\r\n\r\n", std::string("nul\0in\n", 7), "\xff\x80\n"};
  for (size_t length : {1, 15, 16, 17, 510, 511, 512, 513, 1023, 1024, 1025, 3000}) {
    std::string line(length, 'x');
    for (size_t i = 0; i < length; ++i) line[i] = static_cast<char>('a' + i % 26);
    contents.push_back(line + "\n" + line + "\n");
    contents.push_back(line + "\r\n" + line);  // CRLF, and no newline at the end
  }
  contents.emplace_back();
  for (size_t i = 0; i < 300; ++i) contents.back() += std::string(i * 7 % 600, 'm') + "\n";

  for (const std::string& content : contents) {
    TempFile file(content);
    for (size_t size : {1, 2, 3, 16, 17, 511, 512, 513, 1024, 4000}) {
      for (FileMode mode : {FileMode::ReadText, FileMode::ReadBinary}) {
        FILE* expectedFile = std::fopen(file.path.c_str(), "r");
        FileStream stream;
        ASSERT_TRUE(OpenFileStream(&stream, file.path.c_str(), mode));
        std::vector<char> expected(size + 8, '#'), actual(size + 8, '#');
        bool ended = false;
        // With room for the terminator only nothing is ever consumed, so stop early.
        for (int call = 0; call < (size == 1 ? 3 : 100000) && !ended; ++call) {
          char* expectedLine = std::fgets(expected.data(), static_cast<int>(size), expectedFile);
          ASSERT_EQ(expectedLine == nullptr, ReadLine(&stream, actual.data(), size) == nullptr) << size;
          ASSERT_EQ(expected, actual) << "size " << size << " call " << call;
          ended = expectedLine == nullptr;
        }
        if (ended) {
          EXPECT_EQ(-1, ReadByte(&stream));  // end of file stays end of file
        }
        CloseFileStream(&stream);
        std::fclose(expectedFile);
      }
    }
  }
}

TEST(FileStream, ScanDecimalAndReadByteMatchFscanfAndFgetc) {
  std::vector<std::string> contents = {
      "",         "   \n\t",
      "-",        "+",
      "-x",       "+ 5",
      "12x",      "  -7\n+8\r\n",
      "5-5+5--5", "2147483648 -2147483649 99999999999999999999999 -99999999999999999999999"};
  const char* const pieces[] = {
      "0",          "17", "-3", "+42", " ", "\n", "\r\n", "\t", "x", "-", "+", "4294967296", "9223372036854775808",
      "2147483647", ".",  "--1"};
  uint64_t state = 2024;
  for (int f = 0; f < 300; ++f) {
    contents.emplace_back();
    for (int i = 0; i < (f < 150 ? 8 : 400); ++i) {  // the longer files span several stream buffers
      state = state * 6364136223846793005ull + 1442695040888963407ull;
      contents.back() += pieces[(state >> 33) % 16];
    }
  }
  for (const std::string& content : contents) {
    TempFile file(content);
    FILE* expectedFile = std::fopen(file.path.c_str(), "r");
    FileStream stream;
    ASSERT_TRUE(OpenFileStream(&stream, file.path.c_str(), FileMode::ReadText));
    for (int step = 0;; ++step) {
      int expected = 0x5a5a5a5a, actual = 0x5a5a5a5a;
      const int result = std::fscanf(expectedFile, "%d", &expected);
      ASSERT_EQ(result, ScanDecimalFromFile(&stream, &actual)) << '[' << content << "] step " << step;
      ASSERT_EQ(expected, actual) << '[' << content << "] step " << step;
      if (result == EOF) break;
      // Nothing converted: the offending byte is still unread; step over it.
      if (result == 0 || step % 5 == 4) {
        ASSERT_EQ(std::fgetc(expectedFile), ReadByte(&stream)) << '[' << content << "] step " << step;
      }
    }
    CloseFileStream(&stream);
    std::fclose(expectedFile);
  }
  FileStream missing;
  const std::string missingName = testing::TempDir() + "tolvane_file_stream_missing/none.txt";
  EXPECT_FALSE(OpenFileStream(&missing, missingName.c_str(), FileMode::ReadText));
}

}  // namespace
