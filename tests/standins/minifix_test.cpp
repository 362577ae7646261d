// The minimal FIX, loaded from the minifix folder beside this program as the
// driver would load it (by ordinal on Windows): deferred reads and writes,
// point errors and their texts, the controller's write rules, bad handles.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace {

// The binary interface, as the driver calls it.
struct MiniFix {
  int32_t (*CreateGroup)(int32_t, int32_t) = nullptr;
  int16_t (*DeleteGroup)(int32_t) = nullptr;
  int32_t (*DefinePoint)(int32_t, const char*, const char*, const char*, int32_t) = nullptr;
  int16_t (*ResolveGroup)(int32_t) = nullptr;
  int16_t (*ReadGroup)(int32_t) = nullptr;
  int16_t (*WriteGroup)(int32_t) = nullptr;
  int16_t (*WaitGroup)(int32_t) = nullptr;
  int16_t (*PointError)(int32_t, int32_t) = nullptr;
  int16_t (*GetFloat)(int32_t, int32_t, float*) = nullptr;
  int16_t (*GetAscii)(int32_t, int32_t, char*, int32_t) = nullptr;
  int16_t (*SetFloat)(int32_t, int32_t, float*) = nullptr;
  int16_t (*SetAscii)(int32_t, int32_t, const char*) = nullptr;
  int32_t (*RunningCheck)() = nullptr;
  int32_t (*ErrorText)(int32_t, char*, int32_t) = nullptr;
  std::string problem;  // empty when every function was found
};

constexpr int32_t TextFound = 11000;

#ifdef _WIN32
std::string MiniFixFolder() {
  char path[MAX_PATH] = {};
  const DWORD size = GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string program(path, size);
  return program.substr(0, program.find_last_of("\\/") + 1) + "minifix\\";
}
void* Open(const std::string& file) { return LoadLibraryA((MiniFixFolder() + file + ".dll").c_str()); }
void* Symbol(void* library, int ordinal, const char* /*name*/) {
  return reinterpret_cast<void*>(
      GetProcAddress(static_cast<HMODULE>(library), MAKEINTRESOURCEA(ordinal)));
}
#else
std::string MiniFixFolder() {
  std::vector<char> path(4096);
  const ssize_t size = readlink("/proc/self/exe", path.data(), path.size() - 1);
  const std::string program(path.data(), size > 0 ? static_cast<std::size_t>(size) : 0);
  return program.substr(0, program.rfind('/') + 1) + "minifix/";
}
void* Open(const std::string& file) {
  return dlopen((MiniFixFolder() + "lib" + file + ".so").c_str(), RTLD_NOW | RTLD_LOCAL);
}
void* Symbol(void* library, int /*ordinal*/, const char* name) { return dlsym(library, name); }
#endif

template <typename Fn>
void Bind(void* library, int ordinal, const char* name, Fn& target, std::string& problem) {
  void* symbol = library == nullptr ? nullptr : Symbol(library, ordinal, name);
  if (symbol == nullptr) {
    problem += std::string(" ") + name;
  }
  target = reinterpret_cast<Fn>(symbol);
}

// Loaded once, FIXTOOLS first, and kept for the program's life as a host would.
const MiniFix& Fix() {
  static const MiniFix fix = [] {
    MiniFix f;
    void* tools = Open("FIXTOOLS");
    void* eda = Open("EDA");
    Bind(tools, 72, "FixRunningCheck", f.RunningCheck, f.problem);
    Bind(tools, 85, "FixErrorText", f.ErrorText, f.problem);
    Bind(eda, 1, "EdaCreateGroup", f.CreateGroup, f.problem);
    Bind(eda, 2, "EdaDeleteGroup", f.DeleteGroup, f.problem);
    Bind(eda, 3, "EdaDefinePoint", f.DefinePoint, f.problem);
    Bind(eda, 14, "EdaResolveGroup", f.ResolveGroup, f.problem);
    Bind(eda, 15, "EdaReadGroup", f.ReadGroup, f.problem);
    Bind(eda, 17, "EdaWriteGroup", f.WriteGroup, f.problem);
    Bind(eda, 20, "EdaWaitGroup", f.WaitGroup, f.problem);
    Bind(eda, 21, "EdaPointError", f.PointError, f.problem);
    Bind(eda, 22, "EdaGetFloat", f.GetFloat, f.problem);
    Bind(eda, 23, "EdaGetAscii", f.GetAscii, f.problem);
    Bind(eda, 25, "EdaSetFloat", f.SetFloat, f.problem);
    Bind(eda, 26, "EdaSetAscii", f.SetAscii, f.problem);
    return f;
  }();
  return fix;
}

struct Name {
  const char* node;
  const char* tag;
  const char* field;
};

class MiniFixTest : public testing::Test {
 protected:
  const MiniFix& fix = Fix();

  void SetUp() override { ASSERT_EQ(fix.problem, "") << "not found in " << MiniFixFolder(); }
  void TearDown() override {
    for (const int32_t group : groups_) {
      fix.DeleteGroup(group);
    }
  }

  // A group of the points, resolved (the resolve waited for), deleted after the test.
  int32_t Resolved(const std::vector<Name>& names) {
    const int32_t group = fix.CreateGroup(static_cast<int32_t>(names.size()), 0);
    groups_.push_back(group);
    for (const Name& name : names) {
      fix.DefinePoint(group, name.node, name.tag, name.field, 0);
    }
    fix.ResolveGroup(group);
    fix.WaitGroup(group);
    return group;
  }
  int32_t Resolved(const char* tag, const char* field) { return Resolved({{"MINI", tag, field}}); }

  // Writes one value through a group of its own; the point's error afterwards.
  int16_t Write(const char* tag, const char* field, float value) {
    const int32_t group = Resolved(tag, field);
    EXPECT_EQ(fix.SetFloat(group, 0, &value), 0);
    return Complete(group);
  }
  int16_t Write(const char* tag, const char* field, const char* text) {
    const int32_t group = Resolved(tag, field);
    EXPECT_EQ(fix.SetAscii(group, 0, text), 0);
    return Complete(group);
  }
  int16_t Complete(int32_t group) {
    fix.WriteGroup(group);
    fix.WaitGroup(group);
    return fix.PointError(group, 0);
  }

  float ReadFloat(const char* tag, const char* field) {
    const int32_t group = Resolved(tag, field);
    fix.ReadGroup(group);
    fix.WaitGroup(group);
    float value = -1.0F;
    EXPECT_EQ(fix.GetFloat(group, 0, &value), 0) << tag << "." << field;
    return value;
  }
  std::string ReadText(const char* tag, const char* field) {
    const int32_t group = Resolved(tag, field);
    fix.ReadGroup(group);
    fix.WaitGroup(group);
    char text[64] = {};
    EXPECT_EQ(fix.GetAscii(group, 0, text, sizeof text), 0) << tag << "." << field;
    return text;
  }

  std::string TextOf(int32_t code, int32_t expectedResult) {
    char text[256] = {};
    EXPECT_EQ(fix.ErrorText(code, text, sizeof text), expectedResult) << code;
    return text;
  }

 private:
  std::vector<int32_t> groups_;
};

TEST_F(MiniFixTest, PointErrorsNameTheUnknownPartOnceResolved) {
  const struct {
    Name name;
    int16_t error;
    const char* text;
  } cases[] = {
      {{"MINI", "TIC100", "F_CV"}, 0, ""},
      {{"MINI", "TIC100", "A_AUTO"}, 0, ""},
      {{"MINI", "HS100", "A_ROUT"}, 0, ""},
      {{"MAXI", "TIC100", "F_CV"}, 2101, "MINI: node not found"},
      {{"MINI", "TIC999", "F_CV"}, 2102, "MINI: tag not found"},
      {{"MINI", "TT100", "A_AUTO"}, 2103, "MINI: field not found"},
      {{"MINI", "tic100", "F_CV"}, 2102, "MINI: tag not found"},
  };
  const int32_t group = fix.CreateGroup(static_cast<int32_t>(std::size(cases)), 0);
  for (const auto& c : cases) {
    fix.DefinePoint(group, c.name.node, c.name.tag, c.name.field, 0);
  }
  ASSERT_EQ(fix.ResolveGroup(group), 0);
  for (int32_t point = 0; point < static_cast<int32_t>(std::size(cases)); ++point) {
    EXPECT_EQ(fix.PointError(group, point), 2109) << "before the resolve's wait, point " << point;
  }
  ASSERT_EQ(fix.WaitGroup(group), 0);
  for (int32_t point = 0; point < static_cast<int32_t>(std::size(cases)); ++point) {
    const auto& c = cases[point];
    SCOPED_TRACE(std::string(c.name.node) + ":" + c.name.tag + "." + c.name.field);
    EXPECT_EQ(fix.PointError(group, point), c.error);
    if (c.error != 0) {
      EXPECT_EQ(TextOf(c.error, TextFound), c.text);
      float value = 0.0F;
      EXPECT_EQ(fix.GetFloat(group, point, &value), c.error);
    }
  }
  EXPECT_EQ(fix.DeleteGroup(group), 0);
}

TEST_F(MiniFixTest, ErrorTextsFitTheBufferOrSaySo) {
  const std::string nodeText = "MINI: node not found";
  const int32_t whole = static_cast<int32_t>(nodeText.size()) + 1;
  const struct {
    int32_t code;
    int32_t length;
    int32_t result;
    const char* text;  // what the buffer holds afterwards
  } cases[] = {
      {2101, 256, TextFound, "MINI: node not found"},
      {2101, whole, TextFound, "MINI: node not found"},
      {2101, whole - 1, 0, "MINI: node not foun"},
      {2101, 1, 0, ""},
      {2101, 0, 0, "untouched"},
      {2101, -5, 0, "untouched"},
      {1101, 256, 0, ""},
      {2100, 256, 0, ""},
      {2114, 256, 0, ""},
      {-2101, 256, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.code) + " into " + std::to_string(c.length));
    char buffer[256] = "untouched";
    EXPECT_EQ(fix.ErrorText(c.code, buffer, c.length), c.result);
    EXPECT_STREQ(buffer, c.text);
  }
  EXPECT_EQ(fix.ErrorText(2101, nullptr, 256), 0);
  for (int32_t code = 2101; code <= 2113; ++code) {
    EXPECT_EQ(TextOf(code, TextFound).rfind("MINI: ", 0), 0U) << code;
  }
  EXPECT_EQ(fix.RunningCheck(), 1);
}

TEST_F(MiniFixTest, GetsSeeTheLastCompletedRead) {
  const int32_t reader = Resolved("TT100", "F_CV");
  float value = -1.0F;
  EXPECT_EQ(fix.GetFloat(reader, 0, &value), 2110) << "before any read";
  ASSERT_EQ(fix.ReadGroup(reader), 0);
  EXPECT_EQ(fix.GetFloat(reader, 0, &value), 2110) << "before the read's wait";
  ASSERT_EQ(fix.WaitGroup(reader), 0);
  ASSERT_EQ(fix.GetFloat(reader, 0, &value), 0);
  EXPECT_EQ(value, 20.0F);

  ASSERT_EQ(Write("TT100", "F_CV", 25.0F), 0);
  ASSERT_EQ(fix.GetFloat(reader, 0, &value), 0);
  EXPECT_EQ(value, 20.0F) << "a get sees its own group's last read";
  fix.ReadGroup(reader);
  fix.WaitGroup(reader);
  ASSERT_EQ(fix.GetFloat(reader, 0, &value), 0);
  EXPECT_EQ(value, 25.0F);
  EXPECT_EQ(Write("TT100", "F_CV", 20.0F), 0);
}

TEST_F(MiniFixTest, SetsReachTheTableAtTheWritesWaitOnly) {
  const struct {
    const char* tag;
    const char* field;
    const char* text;  // null for the float field
    std::string before;
    std::string after;
  } cases[] = {
      {"FV100", "F_CV", nullptr, std::to_string(0.0F), std::to_string(42.0F)},
      {"HS100", "A_ROUT", "YES", "NO", "YES"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.tag) + "." + c.field);
    const auto current = [&] {
      return c.text == nullptr ? std::to_string(ReadFloat(c.tag, c.field)) : ReadText(c.tag, c.field);
    };
    const int32_t writer = Resolved(c.tag, c.field);
    float number = 42.0F;
    ASSERT_EQ(c.text == nullptr ? fix.SetFloat(writer, 0, &number) : fix.SetAscii(writer, 0, c.text), 0);
    EXPECT_EQ(current(), c.before) << "after the set";
    ASSERT_EQ(fix.WriteGroup(writer), 0);
    EXPECT_EQ(current(), c.before) << "before the write's wait";
    ASSERT_EQ(fix.WaitGroup(writer), 0);
    EXPECT_EQ(fix.PointError(writer, 0), 0);
    EXPECT_EQ(current(), c.after);
  }
  // A write sends only what was set since the group's last write.
  const int32_t first = Resolved("FV100", "F_CV");
  float three = 3.0F;
  ASSERT_EQ(fix.SetFloat(first, 0, &three), 0);
  ASSERT_EQ(Complete(first), 0);
  ASSERT_EQ(Write("FV100", "F_CV", 7.0F), 0);
  EXPECT_EQ(Complete(first), 0);
  EXPECT_EQ(ReadFloat("FV100", "F_CV"), 7.0F);

  EXPECT_EQ(Write("FV100", "F_CV", 0.0F), 0);
  EXPECT_EQ(Write("HS100", "A_ROUT", "NO"), 0);
}

TEST_F(MiniFixTest, ValuesOfTheOtherTypeAreRefused) {
  const int32_t group = Resolved({{"MINI", "FV100", "F_CV"}, {"MINI", "HS100", "A_ROUT"}});
  fix.ReadGroup(group);
  fix.WaitGroup(group);
  float number = 1.0F;
  char text[16] = {};
  const struct {
    const char* call;
    int16_t status;
  } cases[] = {
      {"text set on a float", fix.SetAscii(group, 0, "1")},
      {"float set on a text", fix.SetFloat(group, 1, &number)},
      {"text get of a float", fix.GetAscii(group, 0, text, sizeof text)},
      {"float get of a text", fix.GetFloat(group, 1, &number)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.status, 2104) << c.call;
  }
  EXPECT_EQ(Complete(group), 0);
  EXPECT_EQ(ReadFloat("FV100", "F_CV"), 0.0F);
  EXPECT_EQ(ReadText("HS100", "A_ROUT"), "NO");
}

TEST_F(MiniFixTest, ModeTakesOnlyAutoOrManlAtTheWrite) {
  const struct {
    const char* text;
    int16_t error;
    const char* mode;  // A_AUTO afterwards
  } cases[] = {
      {"AUTO", 0, "AUTO"}, {"manl", 2105, "AUTO"}, {"CASC", 2105, "AUTO"},
      {"", 2105, "AUTO"},  {"MANL", 0, "MANL"},    {"AUTOX", 2105, "MANL"},
      {"AUT", 2105, "MANL"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Write("TIC100", "A_AUTO", c.text), c.error) << '"' << c.text << '"';
    EXPECT_EQ(ReadText("TIC100", "A_AUTO"), c.mode) << '"' << c.text << '"';
  }
}

TEST_F(MiniFixTest, ControllerOutputIsProtectedInAuto) {
  const struct {
    const char* mode;
    const char* tag;
    const char* field;
    float value;
    int16_t error;
    float after;
  } cases[] = {
      {"MANL", "TIC100", "F_CV", 12.0F, 0, 12.0F},
      {"AUTO", "TIC100", "F_CV", 34.0F, 2106, 12.0F},
      {"AUTO", "TIC100", "F_TV1", 55.0F, 0, 55.0F},
      {"AUTO", "TT100", "F_CV", 21.0F, 0, 21.0F},
      {"MANL", "TIC100", "F_CV", 0.0F, 0, 0.0F},
      {"MANL", "TIC100", "F_TV1", 50.0F, 0, 50.0F},
      {"MANL", "TT100", "F_CV", 20.0F, 0, 20.0F},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.mode) + " " + c.tag + "." + c.field);
    ASSERT_EQ(Write("TIC100", "A_AUTO", c.mode), 0);
    EXPECT_EQ(Write(c.tag, c.field, c.value), c.error);
    EXPECT_EQ(ReadFloat(c.tag, c.field), c.after);
  }
  // A refused point's error lasts until its group's next completed operation.
  const int32_t group = Resolved("TIC100", "F_CV");
  ASSERT_EQ(Write("TIC100", "A_AUTO", "AUTO"), 0);
  float value = 1.0F;
  fix.SetFloat(group, 0, &value);
  EXPECT_EQ(Complete(group), 2106);
  fix.ReadGroup(group);
  fix.WaitGroup(group);
  EXPECT_EQ(fix.PointError(group, 0), 0);
  EXPECT_EQ(Write("TIC100", "A_AUTO", "MANL"), 0);
}

TEST_F(MiniFixTest, GetAsciiCutsTheTextToTheBuffer) {
  const int32_t group = Resolved("TIC100", "A_AUTO");
  fix.ReadGroup(group);
  fix.WaitGroup(group);
  const struct {
    int32_t length;
    const char* text;
  } cases[] = {{1, ""}, {3, "MA"}, {4, "MAN"}, {5, "MANL"}, {10, "MANL"}};
  for (const auto& c : cases) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    ASSERT_EQ(fix.GetAscii(group, 0, buffer, c.length), 0) << c.length;
    EXPECT_STREQ(buffer, c.text) << c.length;
    EXPECT_EQ(buffer[c.length], '#') << "written past the buffer of " << c.length;
  }
}

TEST_F(MiniFixTest, BadHandlesAndArgumentsAreRefused) {
  const int32_t good = Resolved("TT100", "F_CV");
  fix.ReadGroup(good);
  fix.WaitGroup(good);
  const int32_t deleted = fix.CreateGroup(1, 0);
  ASSERT_NE(deleted, 0);
  ASSERT_EQ(fix.DeleteGroup(deleted), 0);
  float number = 0.0F;
  char text[16] = {};
  const std::string tooLong(64, 'X');

  // Every call on a group or point that does not exist.
  const struct {
    int32_t group;
    int32_t point;
  } handles[] = {{0, 0}, {-1, 0}, {987654, 0}, {deleted, 0}, {good, -1}, {good, 1}, {good, 1000}};
  for (const auto& h : handles) {
    SCOPED_TRACE("group " + std::to_string(h.group) + " point " + std::to_string(h.point));
    if (h.group != good) {
      EXPECT_NE(fix.DeleteGroup(h.group), 0);
      EXPECT_NE(fix.ResolveGroup(h.group), 0);
      EXPECT_NE(fix.ReadGroup(h.group), 0);
      EXPECT_NE(fix.WriteGroup(h.group), 0);
      EXPECT_NE(fix.WaitGroup(h.group), 0);
      EXPECT_EQ(fix.DefinePoint(h.group, "MINI", "TT100", "F_CV", 0), -1);
    }
    EXPECT_NE(fix.PointError(h.group, h.point), 0);
    EXPECT_NE(fix.GetFloat(h.group, h.point, &number), 0);
    EXPECT_NE(fix.GetAscii(h.group, h.point, text, sizeof text), 0);
    EXPECT_NE(fix.SetFloat(h.group, h.point, &number), 0);
    EXPECT_NE(fix.SetAscii(h.group, h.point, "AUTO"), 0);
  }

  // Arguments that cannot be used, on a good point.
  const int32_t textGroup = Resolved("HS100", "A_ROUT");
  const struct {
    const char* call;
    int16_t status;
  } arguments[] = {
      {"get into no float", fix.GetFloat(good, 0, nullptr)},
      {"set from no float", fix.SetFloat(good, 0, nullptr)},
      {"get into no buffer", fix.GetAscii(textGroup, 0, nullptr, 16)},
      {"get into an empty buffer", fix.GetAscii(textGroup, 0, text, 0)},
      {"get into a negative buffer", fix.GetAscii(textGroup, 0, text, -1)},
      {"set of no text", fix.SetAscii(textGroup, 0, nullptr)},
      {"set of a 64-character text", fix.SetAscii(textGroup, 0, tooLong.c_str())},
  };
  for (const auto& a : arguments) {
    EXPECT_NE(a.status, 0) << a.call;
  }
  EXPECT_EQ(fix.SetAscii(textGroup, 0, tooLong.substr(1).c_str()), 0) << "63 characters fit";

  // Groups that cannot be made or take no more points.
  EXPECT_EQ(fix.CreateGroup(-1, 0), 0);
  const int32_t empty = fix.CreateGroup(0, 0);
  ASSERT_NE(empty, 0);
  EXPECT_EQ(fix.DefinePoint(empty, "MINI", "TT100", "F_CV", 0), -1);
  const int32_t one = fix.CreateGroup(1, 0);
  ASSERT_NE(one, 0);
  EXPECT_NE(one, empty);
  EXPECT_EQ(fix.DefinePoint(one, nullptr, "TT100", "F_CV", 0), -1);
  EXPECT_EQ(fix.DefinePoint(one, "MINI", nullptr, "F_CV", 0), -1);
  EXPECT_EQ(fix.DefinePoint(one, "MINI", "TT100", nullptr, 0), -1);
  EXPECT_EQ(fix.DefinePoint(one, "MINI", "TT100", "F_CV", 0), 0);
  EXPECT_EQ(fix.DefinePoint(one, "MINI", "FV100", "F_CV", 0), -1);
  EXPECT_EQ(fix.PointError(one, 0), 2109) << "defined, not resolved";
  EXPECT_EQ(fix.DeleteGroup(empty), 0);
  EXPECT_EQ(fix.DeleteGroup(one), 0);
}

}  // namespace
