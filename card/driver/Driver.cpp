// The virtual card's kernel driver (ZEPHRA_CARD_SERVICE ".sys"). Serves the card's device
// names and the control device ZEPHRA_CONTROL_DEVICE; all decisions are made by kv22::Card.

// intrin.h and wdm.h both declare these; keep the DDK's under other names.
#include <intrin.h>
#define InterlockedBitTestAndSet Kv22DdkInterlockedBitTestAndSet
#define InterlockedBitTestAndReset Kv22DdkInterlockedBitTestAndReset
#include <ntddk.h>
#undef InterlockedBitTestAndSet
#undef InterlockedBitTestAndReset

#include "card/core/BankCost.h"
#include "card/core/CardCore.h"
#include "shared/settings/Catalogue.h"

namespace {

using kv22::Card;
using kv22::CardConfig;

constexpr uint32_t kCtlDevice = kv22::kDeviceCount;  // index of the control device
constexpr uint32_t kDeviceObjects = kv22::kDeviceCount + 1;

struct DeviceExt {
  uint32_t id;
};

const wchar_t* const kDeviceNames[kDeviceObjects] = {
    L"\\Device\\" ZEPHRA_WAVE_DEVICE, L"\\Device\\Kv22Core", L"\\Device\\Kv22Wt",
    L"\\Device\\" ZEPHRA_WAVETABLE_NT, L"\\Device\\" ZEPHRA_CONTROL_DEVICE};
// On i686, no link named ZEPHRA_WAVE_VXD: in the 9x shape Wine then loads the DLL of that
// name (card/wavedll), which can write GetDisableDsHwBuf's answer where the caller reads it.
// 64-bit Wine loads no VxD DLL, so there the driver serves that name beside the wave
// device's own, and the caller reads the answer from its output buffer.
#ifdef _WIN64
const wchar_t kWaveVxdLink[] = L"\\DosDevices\\" ZEPHRA_WAVE_VXD;
#endif
const wchar_t* const kLinkNames[kDeviceObjects] = {
    L"\\DosDevices\\" ZEPHRA_WAVE_DEVICE, L"\\DosDevices\\" ZEPHRA_CORE_VXD,
    L"\\DosDevices\\" ZEPHRA_WAVETABLE_VXD, L"\\DosDevices\\" ZEPHRA_WAVETABLE_NT,
    L"\\DosDevices\\" ZEPHRA_CONTROL_DEVICE};

// One card per driver; zero-initialised, set up in DriverEntry.
Card g_card;
KMUTEX g_lock;
PDEVICE_OBJECT g_devices[kDeviceObjects];
uint32_t g_linkMask;  // card devices whose link exists
bool g_ctlLink;
wchar_t g_regPathBuf[512];
UNICODE_STRING g_regPath;
// Scratch for the bank probe; used only while g_lock is held.
wchar_t g_probeBuf[8 + kv22::kBankPathMax];
uint8_t g_bankHead[64 * 1024];
uint16_t g_zoneCounts[kv22::kBankCountedInstruments];
kv22::StoredSettings g_stored;  // read once, at the start

class Lock {
 public:
  Lock() { KeWaitForSingleObject(&g_lock, Executive, KernelMode, FALSE, nullptr); }
  ~Lock() { KeReleaseMutex(&g_lock, FALSE); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
};

void InitName(UNICODE_STRING& s, const wchar_t* text) {
  RtlInitUnicodeString(&s, reinterpret_cast<PCWSTR>(text));
}

constexpr ULONG kBankTag = 0x4B626E6B;  // "knbK" in a pool dump

uint32_t ReadBankAt(void* file, uint64_t offset, uint8_t* to, uint32_t n) {
  IO_STATUS_BLOCK iosb;
  LARGE_INTEGER at;
  at.QuadPart = LONGLONG(offset);
  NTSTATUS st = ZwReadFile(static_cast<HANDLE>(file), nullptr, nullptr, nullptr, &iosb, to, n, &at, nullptr);
  return NT_SUCCESS(st) ? uint32_t(iosb.Information) : 0;
}

// The same verdict the synthesizer's loader reaches on the file's cost (card/core/BankCost.h):
// the head, every top-level chunk, then the preset or instrument list read whole and counted.
kv22::Status CheckBank(HANDLE file) {
  FILE_STANDARD_INFORMATION info;
  IO_STATUS_BLOCK iosb;
  if (!NT_SUCCESS(ZwQueryInformationFile(file, &iosb, &info, sizeof info, FileStandardInformation))) {
    return kv22::kBadBank;
  }
  const uint32_t got = ReadBankAt(file, 0, g_bankHead, sizeof g_bankHead);
  kv22::BankList list;
  if (kv22::FindBankList(&ReadBankAt, file, g_bankHead, got, uint64_t(info.EndOfFile.QuadPart), list) !=
      kv22::kBankLooksValid) {
    return kv22::kBadBank;
  }
  void* body = ExAllocatePoolWithTag(PagedPool, list.size ? list.size : 1, kBankTag);
  if (!body) return kv22::kBadBank;
  const bool read = ReadBankAt(file, list.offset, static_cast<uint8_t*>(body), list.size) == list.size;
  const bool ok = read && kv22::CheckBankList(list, static_cast<uint8_t*>(body), g_zoneCounts) == kv22::kBankLooksValid;
  ExFreePoolWithTag(body, kBankTag);
  return ok ? kv22::kOk : kv22::kBadBank;
}

kv22::Status ProbeFile(const char* path, void*) {
  // "\??\" + the caller's path, as the file system sees a DOS path.
  static const wchar_t kPrefix[] = L"\\??\\";
  const uint32_t prefixLen = 4;
  UNICODE_STRING name;
  name.Buffer = reinterpret_cast<PWCH>(g_probeBuf);
  for (uint32_t i = 0; i < prefixLen; ++i) g_probeBuf[i] = kPrefix[i];
  ANSI_STRING ansi;
  RtlInitAnsiString(&ansi, path);
  UNICODE_STRING rest;
  rest.Buffer = reinterpret_cast<PWCH>(g_probeBuf + prefixLen);
  rest.Length = 0;
  rest.MaximumLength = USHORT((sizeof g_probeBuf) - prefixLen * sizeof(wchar_t));
  if (!NT_SUCCESS(RtlAnsiStringToUnicodeString(&rest, &ansi, FALSE))) return kv22::kBankNotFound;
  name.Length = USHORT(prefixLen * sizeof(wchar_t) + rest.Length);
  name.MaximumLength = name.Length;

  OBJECT_ATTRIBUTES attrs;
  InitializeObjectAttributes(&attrs, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr,
                             nullptr);
  HANDLE file;
  IO_STATUS_BLOCK iosb;
  NTSTATUS st = ZwCreateFile(&file, FILE_GENERIC_READ, &attrs, &iosb, nullptr,
                             FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN,
                             FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  if (!NT_SUCCESS(st)) return kv22::kBankNotFound;
  kv22::Status verdict = CheckBank(file);
  ZwClose(file);
  return verdict;
}

// ---- configuration in the service key ----

HANDLE OpenServiceKey(ACCESS_MASK access) {
  if (!g_regPath.Buffer) return nullptr;
  OBJECT_ATTRIBUTES attrs;
  InitializeObjectAttributes(&attrs, &g_regPath, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr,
                             nullptr);
  HANDLE key;
  return NT_SUCCESS(ZwOpenKey(&key, access, &attrs)) ? key : nullptr;
}

// Returns the value's data size, or -1 when it is missing or larger than capacity.
int32_t QueryValue(HANDLE key, const wchar_t* name, ULONG type, uint8_t* data, uint32_t capacity) {
  union {
    KEY_VALUE_PARTIAL_INFORMATION info;
    uint8_t bytes[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + sizeof(kv22::EqConfig::names) + 2 * kv22::kBankPathMax];
  } buf;
  UNICODE_STRING valueName;
  InitName(valueName, name);
  ULONG got = 0;
  NTSTATUS st =
      ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, &buf, sizeof buf, &got);
  if (!NT_SUCCESS(st) || buf.info.Type != type || buf.info.DataLength > capacity) return -1;
  for (uint32_t i = 0; i < buf.info.DataLength; ++i) data[i] = buf.info.Data[i];
  return int32_t(buf.info.DataLength);
}

void ReadDword(HANDLE key, const wchar_t* name, uint32_t& value) {
  uint8_t d[4];
  if (QueryValue(key, name, REG_DWORD, d, 4) == 4) {
    value = uint32_t(d[0]) | uint32_t(d[1]) << 8 | uint32_t(d[2]) << 16 | uint32_t(d[3]) << 24;
  }
}

// Missing or odd values keep their defaults.
void ReadConfig(CardConfig& cfg) {
  kv22::DefaultConfig(cfg);
  HANDLE key = OpenServiceKey(KEY_READ);
  if (!key) return;
  uint32_t mask = cfg.deviceMask;
  ReadDword(key, L"DeviceMask", mask);
  if ((mask & ~kv22::kAllDevices) == 0) cfg.deviceMask = mask;
  ReadDword(key, L"PerformanceLevel", cfg.level);
  ReadDword(key, L"PerformanceClass", cfg.perfClass);
  ReadDword(key, L"PerformanceFeature", cfg.feature);
  uint8_t rules[8 * kv22::kMaxFailRules];
  int32_t n = QueryValue(key, L"FailCodes", REG_BINARY, rules, sizeof rules);
  if (n >= 0) kv22::FailRulesFromBytes(rules, uint32_t(n), cfg);

  // The equaliser: each value checked on its own, an odd one keeps the default.
  kv22::CardConfig eq = cfg;
  ReadDword(key, L"EqBoardId", eq.eq.boardId);
  ReadDword(key, L"EqFlags", eq.eq.flags);
  ReadDword(key, L"EqRefuse", eq.eq.refuseMask);
  uint32_t count = eq.eq.inputCount;
  ReadDword(key, L"EqInputCount", count);
  uint8_t names[sizeof eq.eq.names];
  if (QueryValue(key, L"EqInputNames", REG_BINARY, names, sizeof names) == int32_t(sizeof names)) {
    for (uint32_t i = 0; i < sizeof names; ++i) (&eq.eq.names[0][0])[i] = char(names[i]);
    eq.eq.inputCount = count;
  }
  if (kv22::ConfigValid(eq)) cfg = eq;
  ZwClose(key);
}

// ---- the stored settings the card keeps, read at its start ----

// The catalogue's names are plain ASCII.
void Widen(const char* text, wchar_t* to, uint32_t capacity) {
  uint32_t n = 0;
  for (; text[n] && n + 1 < capacity; ++n) to[n] = wchar_t(uint8_t(text[n]));
  to[n] = 0;
}

HANDLE OpenStoreKey(const catalogue::Key& key) {
  static const char kMachine[] = "\\Registry\\Machine\\";
  wchar_t path[256];
  Widen(kMachine, path, 256);
  const uint32_t n = sizeof kMachine - 1;
  Widen(key.path, path + n, 256 - n);
  UNICODE_STRING name;
  InitName(name, path);
  OBJECT_ATTRIBUTES attrs;
  InitializeObjectAttributes(&attrs, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
  HANDLE h;
  return NT_SUCCESS(ZwOpenKey(&h, KEY_READ, &attrs)) ? h : nullptr;
}

bool StoredDword(const catalogue::Value& value, uint32_t& out) {
  HANDLE key = OpenStoreKey(*value.key);
  if (!key) return false;
  wchar_t name[64];
  Widen(value.name, name, 64);
  uint8_t d[4];
  const bool ok = QueryValue(key, name, REG_DWORD, d, 4) == 4;
  if (ok) out = uint32_t(d[0]) | uint32_t(d[1]) << 8 | uint32_t(d[2]) << 16 | uint32_t(d[3]) << 24;
  ZwClose(key);
  return ok;
}

// A REG_SZ of plain ASCII that fits, as a narrow text; anything else counts as not stored.
bool StoredText(const catalogue::Value& value, char* out, uint32_t capacity) {
  HANDLE key = OpenStoreKey(*value.key);
  if (!key) return false;
  wchar_t name[64];
  Widen(value.name, name, 64);
  uint8_t d[2 * kv22::kBankPathMax];
  const int32_t n = QueryValue(key, name, REG_SZ, d, sizeof d);
  ZwClose(key);
  if (n < 2 || n % 2) return false;
  const uint32_t chars = uint32_t(n) / 2;
  for (uint32_t i = 0; i < chars; ++i) {
    const uint16_t c = uint16_t(d[2 * i] | d[2 * i + 1] << 8);
    if (c >= 0x80 || i >= capacity) return false;
    out[i] = char(c);
    if (c == 0) return true;
  }
  if (chars >= capacity) return false;
  out[chars] = 0;
  return true;
}

static_assert(catalogue::kCardPanel.root == catalogue::Root::LocalMachine &&
                  catalogue::kCardInstall.root == catalogue::Root::LocalMachine,
              "the card reads the machine's settings");

void ReadStored(kv22::StoredSettings& s) {
  const struct {
    const catalogue::Value* value;
    uint32_t bit;
    uint32_t* to;
  } dwords[] = {
      {&catalogue::OutputMode, kv22::kStoredOutputMode, &s.outputMode},
      {&catalogue::DisableDsHwBuf, kv22::kStoredDisableDsHwBuf, &s.disableDsHwBuf},
      {&catalogue::BrisaWavetableEffect, kv22::kStoredEffects, &s.effects},
      {&catalogue::ReverbAmount, kv22::kStoredReverb, &s.reverb},
      {&catalogue::ChorusAmount, kv22::kStoredChorus, &s.chorus},
      {&catalogue::SoftSynthMode, kv22::kStoredSynthMode, &s.synthMode},
  };
  for (const auto& d : dwords)
    if (StoredDword(*d.value, *d.to)) s.present |= d.bit;
  if (StoredText(catalogue::DLSBankPath, s.bank, sizeof s.bank)) s.present |= kv22::kStoredBank;
}

void WriteDword(HANDLE key, const wchar_t* name, uint32_t value) {
  UNICODE_STRING valueName;
  InitName(valueName, name);
  ZwSetValueKey(key, &valueName, 0, REG_DWORD, &value, sizeof value);
}

void WriteConfig(const CardConfig& cfg) {
  HANDLE key = OpenServiceKey(KEY_SET_VALUE);
  if (!key) return;
  WriteDword(key, L"DeviceMask", cfg.deviceMask);
  WriteDword(key, L"PerformanceLevel", cfg.level);
  WriteDword(key, L"PerformanceClass", cfg.perfClass);
  WriteDword(key, L"PerformanceFeature", cfg.feature);
  uint8_t rules[8 * kv22::kMaxFailRules];
  uint32_t n = kv22::FailRulesToBytes(cfg, rules, sizeof rules);
  UNICODE_STRING valueName;
  InitName(valueName, L"FailCodes");
  ZwSetValueKey(key, &valueName, 0, REG_BINARY, rules, n);
  WriteDword(key, L"EqBoardId", cfg.eq.boardId);
  WriteDword(key, L"EqFlags", cfg.eq.flags);
  WriteDword(key, L"EqRefuse", cfg.eq.refuseMask);
  WriteDword(key, L"EqInputCount", cfg.eq.inputCount);
  UNICODE_STRING namesName;
  InitName(namesName, L"EqInputNames");
  ZwSetValueKey(key, &namesName, 0, REG_BINARY, const_cast<char*>(&cfg.eq.names[0][0]),
                sizeof cfg.eq.names);
  ZwFlushKey(key);
  ZwClose(key);
}

// ---- device names ----

// The second name a device answers to, if any.
const wchar_t* SecondLink(uint32_t dev) {
#ifdef _WIN64
  if (dev == kv22::kDevWave) return kWaveVxdLink;
#else
  (void)dev;
#endif
  return nullptr;
}

void SetLink(uint32_t dev, bool present) {
  UNICODE_STRING link, target, second;
  InitName(link, kLinkNames[dev]);
  InitName(target, kDeviceNames[dev]);
  const wchar_t* secondName = SecondLink(dev);
  if (secondName) InitName(second, secondName);
  uint32_t bit = kv22::DeviceBit(dev);
  if (present && !(g_linkMask & bit)) {
    if (!NT_SUCCESS(IoCreateSymbolicLink(&link, &target))) return;
    g_linkMask |= bit;
    if (secondName) IoCreateSymbolicLink(&second, &target);
  } else if (!present && (g_linkMask & bit)) {
    IoDeleteSymbolicLink(&link);
    if (secondName) IoDeleteSymbolicLink(&second);
    g_linkMask &= ~bit;
  }
}

void UpdateLinks(uint32_t mask) {
  for (uint32_t d = 0; d < kv22::kDeviceCount; ++d) {
    if (g_devices[d]) SetLink(d, (mask & kv22::DeviceBit(d)) != 0);
  }
}

// ---- requests ----

NTSTATUS ToNtStatus(kv22::Status st) {
  switch (st) {
    case kv22::kOk: return STATUS_SUCCESS;
    case kv22::kBadSize: return STATUS_INVALID_PARAMETER;
    case kv22::kRefused: return STATUS_UNSUCCESSFUL;
    case kv22::kBankNotFound: return STATUS_OBJECT_NAME_NOT_FOUND;
    case kv22::kBadPath: return STATUS_OBJECT_NAME_INVALID;
    case kv22::kBadBank: return STATUS_FILE_CORRUPT_ERROR;
    default: return STATUS_INVALID_DEVICE_REQUEST;
  }
}

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

uint32_t DeviceIdOf(PDEVICE_OBJECT device) {
  return static_cast<DeviceExt*>(device->DeviceExtension)->id;
}

// Answers with one record the card fills; a buffer too small for it gets nothing.
template <typename Record>
NTSTATUS ReplyRecord(kv22::Status (Card::*fill)(Record&), void* buffer, uint32_t outLength,
                     ULONG_PTR& information) {
  if (outLength < sizeof(Record)) return STATUS_BUFFER_TOO_SMALL;
  Record record;
  if ((g_card.*fill)(record) != kv22::kOk) return STATUS_UNSUCCESSFUL;
  *static_cast<Record*>(buffer) = record;
  information = sizeof record;
  return STATUS_SUCCESS;
}

NTSTATUS ControlRequest(uint32_t code, void* buffer, uint32_t inLength, uint32_t outLength,
                        ULONG_PTR& information) {
  switch (code) {
    case kv22::kCtlGetStatus: {
      if (outLength < sizeof(kv22::CardStatus)) return STATUS_BUFFER_TOO_SMALL;
      auto* out = static_cast<kv22::CardStatus*>(buffer);
      out->version = kv22::kStatusVersion;
      out->lastSeq = g_card.LastSeq();
      out->logCount = g_card.LogCount();
      out->linkMask = g_linkMask;
      out->config = g_card.Config();
      out->state = g_card.State();
      information = sizeof(kv22::CardStatus);
      return STATUS_SUCCESS;
    }
    case kv22::kCtlGetLog: {
      uint32_t after = 0;
      if (inLength >= 4) after = *static_cast<const uint32_t*>(buffer);
      uint32_t max = outLength / sizeof(kv22::LogEntry);
      uint32_t n = g_card.ReadLog(after, static_cast<kv22::LogEntry*>(buffer), max);
      information = n * sizeof(kv22::LogEntry);
      return STATUS_SUCCESS;
    }
    case kv22::kCtlClearLog: g_card.ClearLog(); return STATUS_SUCCESS;
    case kv22::kCtlResetState: g_card.ResetState(); return STATUS_SUCCESS;
    case kv22::kCtlSetConfig: {
      if (inLength != sizeof(CardConfig)) return STATUS_INVALID_PARAMETER;
      const auto* cfg = static_cast<const CardConfig*>(buffer);
      if (!kv22::ConfigValid(*cfg)) return STATUS_INVALID_PARAMETER;
      g_card.SetConfig(*cfg);
      UpdateLinks(g_card.Config().deviceMask);
      WriteConfig(g_card.Config());
      return STATUS_SUCCESS;
    }
    case kv22::kCtlEqInitialize:
      return ReplyRecord(&Card::EqInitialize, buffer, outLength, information);
    case kv22::kCtlEqGetStatus:
      return ReplyRecord(&Card::EqGetStatus, buffer, outLength, information);
    case kv22::kCtlEqSetConfig: {
      if (inLength != sizeof(kv22::EqRequest)) return STATUS_INVALID_PARAMETER;
      kv22::EqRequest req = *static_cast<const kv22::EqRequest*>(buffer);
      return g_card.EqSetConfig(req) == kv22::kOk ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL;
    }
    case kv22::kCtlMidiReport: {
      if (inLength != sizeof(kv22::MidiReport) || outLength < sizeof(kv22::WavetableView))
        return STATUS_INVALID_PARAMETER;
      static kv22::MidiReport report;  // large; used only under g_lock
      report = *static_cast<const kv22::MidiReport*>(buffer);
      kv22::WavetableView view;
      if (g_card.MidiReportIn(report, view) != kv22::kOk) return STATUS_INVALID_PARAMETER;
      *static_cast<kv22::WavetableView*>(buffer) = view;
      information = sizeof view;
      return STATUS_SUCCESS;
    }
    case kv22::kCtlGetMidi:
      if (outLength < sizeof(kv22::MidiState)) return STATUS_BUFFER_TOO_SMALL;
      *static_cast<kv22::MidiState*>(buffer) = g_card.Midi();
      information = sizeof(kv22::MidiState);
      return STATUS_SUCCESS;
    default: return STATUS_INVALID_DEVICE_REQUEST;
  }
}

extern "C" NTSTATUS NTAPI DispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  uint32_t code = stack->Parameters.DeviceIoControl.IoControlCode;
  uint32_t inLength = stack->Parameters.DeviceIoControl.InputBufferLength;
  uint32_t outLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
  uint32_t id = DeviceIdOf(device);

  // Where the buffers are depends on the code's transfer method.
  void* in = nullptr;
  void* out = nullptr;
  switch (code & 3) {
    case METHOD_BUFFERED:
      in = out = irp->AssociatedIrp.SystemBuffer;
      break;
    case METHOD_IN_DIRECT:
    case METHOD_OUT_DIRECT:
      in = irp->AssociatedIrp.SystemBuffer;
      if (irp->MdlAddress) {
        out = MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority);
        if (!out) out = MmGetMdlVirtualAddress(irp->MdlAddress);
      }
      break;
    default:
      // METHOD_NEITHER hands over the caller's raw addresses; no code of ours uses it, so
      // it is refused before anything (the request log included) reads them.
      return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
  }
  if (!out) outLength = 0;

  ULONG_PTR information = 0;
  NTSTATUS status;
  {
    Lock lock;
    if (id == kCtlDevice) {
      status = (code & 3) == METHOD_BUFFERED ? ControlRequest(code, in, inLength, outLength, information)
                                             : STATUS_INVALID_DEVICE_REQUEST;
    } else {
      uint32_t written = 0;
      kv22::Status st = g_card.Request(id, code, in, inLength, out, outLength, &written);
      status = ToNtStatus(st);
      information = written;
    }
  }
  return Complete(irp, status, information);
}

// Opens and closes are counted per device; both always succeed.
NTSTATUS NoteUse(PDEVICE_OBJECT device, PIRP irp, bool open) {
  uint32_t id = DeviceIdOf(device);
  if (id < kv22::kDeviceCount) {
    Lock lock;
    if (open) {
      g_card.NoteOpen(id);
    } else {
      g_card.NoteClose(id);
    }
  }
  return Complete(irp, STATUS_SUCCESS, 0);
}

extern "C" NTSTATUS NTAPI DispatchCreate(PDEVICE_OBJECT device, PIRP irp) { return NoteUse(device, irp, true); }

extern "C" NTSTATUS NTAPI DispatchClose(PDEVICE_OBJECT device, PIRP irp) { return NoteUse(device, irp, false); }

extern "C" NTSTATUS NTAPI DispatchOther(PDEVICE_OBJECT, PIRP irp) {
  return Complete(irp, STATUS_SUCCESS, 0);
}

extern "C" NTSTATUS NTAPI DispatchUnsupported(PDEVICE_OBJECT, PIRP irp) {
  return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
}

extern "C" VOID NTAPI DriverUnload(PDRIVER_OBJECT) {
  UpdateLinks(0);
  if (g_ctlLink) {
    UNICODE_STRING link;
    InitName(link, kLinkNames[kCtlDevice]);
    IoDeleteSymbolicLink(&link);
    g_ctlLink = false;
  }
  for (auto& dev : g_devices) {
    if (dev) IoDeleteDevice(dev);
    dev = nullptr;
  }
}

}  // namespace

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
  KeInitializeMutex(&g_lock, 0);
  if (registryPath && registryPath->Length < sizeof g_regPathBuf) {
    g_regPath.Buffer = reinterpret_cast<PWCH>(g_regPathBuf);
    g_regPath.MaximumLength = sizeof g_regPathBuf;
    RtlCopyUnicodeString(&g_regPath, registryPath);
  }
  CardConfig cfg;
  ReadConfig(cfg);
  g_card.Init(cfg, &ProbeFile, nullptr);
  {
    ReadStored(g_stored);
    Lock lock;  // the bank probe's scratch
    g_card.TakeStored(g_stored);
  }

  for (uint32_t i = 0; i <= IRP_MJ_MAXIMUM_FUNCTION; ++i) driver->MajorFunction[i] = DispatchUnsupported;
  driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
  driver->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
  driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchOther;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchDeviceControl;
  driver->DriverUnload = DriverUnload;

  for (uint32_t i = 0; i < kDeviceObjects; ++i) {
    UNICODE_STRING name;
    InitName(name, kDeviceNames[i]);
    PDEVICE_OBJECT dev = nullptr;
    NTSTATUS st = IoCreateDevice(driver, sizeof(DeviceExt), &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &dev);
    if (!NT_SUCCESS(st)) {
      DriverUnload(driver);
      return st;
    }
    static_cast<DeviceExt*>(dev->DeviceExtension)->id = i;
    dev->Flags |= DO_BUFFERED_IO;
    dev->Flags &= ~DO_DEVICE_INITIALIZING;
    g_devices[i] = dev;
  }
  UNICODE_STRING link, target;
  InitName(link, kLinkNames[kCtlDevice]);
  InitName(target, kDeviceNames[kCtlDevice]);
  NTSTATUS st = IoCreateSymbolicLink(&link, &target);
  if (!NT_SUCCESS(st)) {
    DriverUnload(driver);
    return st;
  }
  g_ctlLink = true;
  UpdateLinks(g_card.Config().deviceMask);
  return STATUS_SUCCESS;
}
