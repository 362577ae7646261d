// Loads FIX's EDA and FIXTOOLS libraries from one folder and binds the
// functions the driver uses: by name on Linux, at FIX's ordinals on Windows
// (the ordinals the driver imports by, dcs/platform/EDA.def and FIXTOOLS.def).
#include "fix/fix_library.h"

#include "driver/driver_rules.h"
#include "system/shared_library.h"

namespace host {
namespace {

template <typename Fn>
bool Bind(void* library, const char* name, int ordinal, Fn& target, const std::string& path, std::string& error) {
#if defined(_WIN32)
  void* symbol = FindOrdinal(library, ordinal);
#else
  (void)ordinal;
  void* symbol = FindSymbol(library, name);
#endif
  if (symbol == nullptr) {
    error = path + ": has no " + name + " (ordinal " + std::to_string(ordinal) +
            "): this is not a FIX library the driver can use";
    return false;
  }
  target = reinterpret_cast<Fn>(symbol);
  return true;
}

template <typename Fn>
void Look(void* library, const char* name, Fn& target) {
  target = reinterpret_cast<Fn>(FindSymbol(library, name));
}

std::string Joined(const std::string& folder, const std::string& file) {
  if (folder.empty()) {
    return file;
  }
  const char last = folder.back();
  return last == '/' || last == '\\' ? folder + file : folder + "/" + file;
}

}  // namespace

std::unique_ptr<FixLibrary> FixLibrary::Load(const std::string& folder, std::string& error) {
  std::unique_ptr<FixLibrary> fix(new FixLibrary());
  const std::string edaFile = Joined(folder, LibraryFileName("EDA"));
  const std::string toolsFile = Joined(folder, LibraryFileName("FIXTOOLS"));
  fix->eda_ = OpenLibrary(edaFile, error);
  if (fix->eda_ == nullptr) {
    return nullptr;
  }
  fix->tools_ = OpenLibrary(toolsFile, error);
  if (fix->tools_ == nullptr) {
    return nullptr;  // the destructor unloads EDA
  }
  fix->edaPath_ = LibraryFile(fix->eda_, edaFile);
  fix->toolsPath_ = LibraryFile(fix->tools_, toolsFile);
  FixApi& a = fix->api_;
  void* e = fix->eda_;
  void* t = fix->tools_;
  const bool bound = Bind(e, "EdaCreateGroup", 1, a.CreateGroup, edaFile, error) &&
                     Bind(e, "EdaDeleteGroup", 2, a.DeleteGroup, edaFile, error) &&
                     Bind(e, "EdaDefinePoint", 3, a.DefinePoint, edaFile, error) &&
                     Bind(e, "EdaResolveGroup", 14, a.ResolveGroup, edaFile, error) &&
                     Bind(e, "EdaReadGroup", 15, a.ReadGroup, edaFile, error) &&
                     Bind(e, "EdaWriteGroup", 17, a.WriteGroup, edaFile, error) &&
                     Bind(e, "EdaWaitGroup", 20, a.WaitGroup, edaFile, error) &&
                     Bind(e, "EdaPointError", 21, a.PointError, edaFile, error) &&
                     Bind(e, "EdaGetFloat", 22, a.GetFloat, edaFile, error) &&
                     Bind(e, "EdaGetAscii", 23, a.GetAscii, edaFile, error) &&
                     Bind(e, "EdaSetFloat", 25, a.SetFloat, edaFile, error) &&
                     Bind(e, "EdaSetAscii", 26, a.SetAscii, edaFile, error) &&
                     Bind(t, "FixRunningCheck", 72, a.RunningCheck, toolsFile, error) &&
                     Bind(t, "FixErrorText", 85, a.ErrorText, toolsFile, error);
  if (!bound) {
    return nullptr;
  }
  SimulatedDatabaseApi& s = fix->simulated_;
  Look(e, "FixdbLoadFile", s.LoadFile);
  Look(e, "FixdbLoadText", s.LoadText);
  Look(e, "FixdbSaveText", s.SaveText);
  Look(e, "FixdbScan", s.Scan);
  Look(e, "FixdbSetJournal", s.SetJournal);
  Look(e, "FixdbSetTransmitterFailed", s.SetTransmitterFailed);
  Look(e, "FixdbSetNodeDown", s.SetNodeDown);
  Look(e, "FixdbPidInput", s.PidInput);
  Look(e, "FixdbPidRemote", s.PidRemote);
  Look(e, "FixdbRatioInput", s.RatioInput);
  Look(e, "FixdbSplitSource", s.SplitSource);
  return fix;
}

FixLibrary::~FixLibrary() {
  if (tools_ != nullptr) {
    CloseLibrary(tools_);
  }
  if (eda_ != nullptr) {
    CloseLibrary(eda_);
  }
}

std::string FixLibrary::ErrorText(int16_t code) const {
  char text[dcs::ErrorTextLength] = {};
  const int32_t result = api_.ErrorText(code, text, dcs::ErrorTextLength);
  text[dcs::ErrorTextLength - 1] = '\0';
  if (result == dcs::FixErrorTextFound && text[0] != '\0') {
    return text;
  }
  return "FIX error code " + std::to_string(code);
}

}  // namespace host
