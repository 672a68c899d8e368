// The UEFI port binding (port_binding.cpp) on the host: the same source, built
// with gnu-efi's headers and the Microsoft calling convention as for
// tolvane.efi, against a stand-in Boot Services table and stand-in PCI Root
// Bridge I/O instances that record every call made to them.
extern "C" {
#include <efi.h>
#include <efilib.h>
}

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.hpp"

// The Boot Services table the binding calls through (InitializeLib sets it in the
// firmware; each test points it at the stand-in).
EFI_BOOT_SERVICES* BS;

namespace {

// {2F707EBB-4A1A-11D4-9A38-0090273FC14D}, written out here rather than taken from
// the headers the binding uses.
const EFI_GUID kRootBridgeIoGuid = {0x2F707EBB, 0x4A1A, 0x11D4, {0x9A, 0x38, 0x00, 0x90, 0x27, 0x3F, 0xC1, 0x4D}};

constexpr size_t kBridges = 3;

// How HandleProtocol treats the interface pointer when it fails: firmware may
// leave it as it was, or (EDK2, for a handle without the protocol) clear it.
enum class FailedStore { Untouched, Null };

struct Firmware {
  // LocateHandleBuffer's answer.
  EFI_STATUS locateStatus = EFI_SUCCESS;
  std::vector<size_t> handles;  // bridge numbers, in the order handed out
  // HandleProtocol fails with EFI_UNSUPPORTED on this bridge's handle.
  size_t failingBridge = kBridges;
  FailedStore failedStore = FailedStore::Untouched;
  // Io.Read fails without writing its buffer.
  bool ioReadFails = false;

  // What the binding did, in order: "LocateHandleBuffer", "HandleProtocol 1",
  // "FreePool", "#2 R CA3 w0 n1", "#2 W CA2=68 w0 n1".
  std::vector<std::string> calls;
  bool locateArgumentsRight = false;  // ByProtocol, the GUID, no key, count 0, buffer null
  bool handleProtocolGuidRight = true;
  void* handedOut = nullptr;  // the handle buffer LocateHandleBuffer returned
  std::vector<void*> freed;

  EFI_PCI_ROOT_BRIDGE_IO_PROTOCOL bridges[kBridges];
  int handleObjects[kBridges];  // their addresses serve as the handles
};

Firmware* Fw;
EFI_BOOT_SERVICES Services;

size_t BridgeOf(const EFI_PCI_ROOT_BRIDGE_IO_PROTOCOL* self) {
  for (size_t i = 0; i < kBridges; ++i) {
    if (self == &Fw->bridges[i]) return i;
  }
  return kBridges;  // not one of ours: shows as "#3" in the calls
}

size_t BridgeOfHandle(EFI_HANDLE handle) {
  for (size_t i = 0; i < kBridges; ++i) {
    if (handle == &Fw->handleObjects[i]) return i;
  }
  return kBridges;
}

std::string PortCall(const EFI_PCI_ROOT_BRIDGE_IO_PROTOCOL* self, char direction,
                     EFI_PCI_ROOT_BRIDGE_IO_PROTOCOL_WIDTH width, UINT64 address, UINTN count, const UINT8* value) {
  char text[64];
  if (value != nullptr) {
    std::snprintf(text, sizeof text, "#%zu %c %03llX=%02X w%d n%llu", BridgeOf(self), direction,
                  static_cast<unsigned long long>(address), *value, static_cast<int>(width),
                  static_cast<unsigned long long>(count));
  } else {
    std::snprintf(text, sizeof text, "#%zu %c %03llX w%d n%llu", BridgeOf(self), direction,
                  static_cast<unsigned long long>(address), static_cast<int>(width),
                  static_cast<unsigned long long>(count));
  }
  return text;
}

EFI_STATUS EFIAPI FakeLocateHandleBuffer(EFI_LOCATE_SEARCH_TYPE searchType, EFI_GUID* protocol, VOID* searchKey,
                                         UINTN* count, EFI_HANDLE** buffer) {
  Fw->calls.push_back("LocateHandleBuffer");
  Fw->locateArgumentsRight = searchType == ByProtocol && protocol != nullptr &&
                             std::memcmp(protocol, &kRootBridgeIoGuid, sizeof kRootBridgeIoGuid) == 0 &&
                             searchKey == nullptr && *count == 0 && *buffer == nullptr;
  if (EFI_ERROR(Fw->locateStatus)) return Fw->locateStatus;
  auto* list = static_cast<EFI_HANDLE*>(std::malloc(sizeof(EFI_HANDLE) * (Fw->handles.size() + 1)));
  for (size_t i = 0; i < Fw->handles.size(); ++i) list[i] = &Fw->handleObjects[Fw->handles[i]];
  *count = Fw->handles.size();
  *buffer = list;
  Fw->handedOut = list;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI FakeHandleProtocol(EFI_HANDLE handle, EFI_GUID* protocol, VOID** interface) {
  const size_t bridge = BridgeOfHandle(handle);
  Fw->calls.push_back("HandleProtocol " + std::to_string(bridge));
  if (std::memcmp(protocol, &kRootBridgeIoGuid, sizeof kRootBridgeIoGuid) != 0) Fw->handleProtocolGuidRight = false;
  if (bridge == Fw->failingBridge || bridge == kBridges) {
    if (Fw->failedStore == FailedStore::Null) *interface = nullptr;
    return EFI_UNSUPPORTED;
  }
  *interface = &Fw->bridges[bridge];
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI FakeFreePool(VOID* buffer) {
  Fw->calls.push_back("FreePool");
  Fw->freed.push_back(buffer);
  std::free(buffer);
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI FakeIoRead(EFI_PCI_ROOT_BRIDGE_IO_PROTOCOL* self, EFI_PCI_ROOT_BRIDGE_IO_PROTOCOL_WIDTH width,
                             UINT64 address, UINTN count, VOID* buffer) {
  Fw->calls.push_back(PortCall(self, 'R', width, address, count, nullptr));
  if (Fw->ioReadFails) return EFI_DEVICE_ERROR;
  // Each bridge answers with its own number in the high nibble and the port's low byte.
  *static_cast<UINT8*>(buffer) = static_cast<UINT8>(((BridgeOf(self) + 1) << 4) | (address & 0x0F));
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI FakeIoWrite(EFI_PCI_ROOT_BRIDGE_IO_PROTOCOL* self, EFI_PCI_ROOT_BRIDGE_IO_PROTOCOL_WIDTH width,
                              UINT64 address, UINTN count, VOID* buffer) {
  Fw->calls.push_back(PortCall(self, 'W', width, address, count, static_cast<const UINT8*>(buffer)));
  return EFI_SUCCESS;
}

using Calls = std::vector<std::string>;

class PortBinding : public ::testing::Test {
 protected:
  void SetUp() override {
    Fw = &firmware_;
    // Every service the binding is not meant to use stays null and would crash.
    std::memset(&Services, 0, sizeof Services);
    Services.LocateHandleBuffer = FakeLocateHandleBuffer;
    Services.HandleProtocol = FakeHandleProtocol;
    Services.FreePool = FakeFreePool;
    BS = &Services;
    for (auto& bridge : firmware_.bridges) {
      std::memset(&bridge, 0, sizeof bridge);
      bridge.Io.Read = FakeIoRead;
      bridge.Io.Write = FakeIoWrite;
    }
  }
  void TearDown() override {
    BS = nullptr;
    Fw = nullptr;
  }

  // Binds, then reads the status register and writes READ to the data register.
  bool BindAndUse() {
    if (!BindPortAccess()) return false;
    lastRead_ = PortRead8(0xCA3);
    PortWrite8(0xCA2, 0x68);
    return true;
  }

  Firmware firmware_;
  uint8_t lastRead_ = 0;
};

TEST_F(PortBinding, OneRootBridge) {
  firmware_.handles = {0};
  ASSERT_TRUE(BindAndUse());
  EXPECT_TRUE(firmware_.locateArgumentsRight);
  EXPECT_TRUE(firmware_.handleProtocolGuidRight);
  EXPECT_EQ(firmware_.calls,
            (Calls{"LocateHandleBuffer", "HandleProtocol 0", "FreePool", "#0 R CA3 w0 n1", "#0 W CA2=68 w0 n1"}));
  EXPECT_EQ(firmware_.freed, (std::vector<void*>{firmware_.handedOut}));
  EXPECT_EQ(lastRead_, 0x13);
}

TEST_F(PortBinding, SeveralRootBridgesTheLastOneWins) {
  firmware_.handles = {1, 0, 2};
  ASSERT_TRUE(BindAndUse());
  EXPECT_EQ(firmware_.calls, (Calls{"LocateHandleBuffer", "HandleProtocol 1", "HandleProtocol 0", "HandleProtocol 2",
                                    "FreePool", "#2 R CA3 w0 n1", "#2 W CA2=68 w0 n1"}));
  EXPECT_EQ(firmware_.freed, (std::vector<void*>{firmware_.handedOut}));
  EXPECT_EQ(lastRead_, 0x33);

  // Looked up afresh on every bind: a changed handle order changes the bridge.
  firmware_.calls.clear();
  firmware_.handles = {2, 1};
  ASSERT_TRUE(BindAndUse());
  EXPECT_EQ(firmware_.calls, (Calls{"LocateHandleBuffer", "HandleProtocol 2", "HandleProtocol 1", "FreePool",
                                    "#1 R CA3 w0 n1", "#1 W CA2=68 w0 n1"}));
  EXPECT_EQ(lastRead_, 0x23);
}

// LocateHandleBuffer finds nothing: no binding, no handle buffer to free, no port
// touched; a binding left from an earlier request is dropped too.
TEST_F(PortBinding, NoneFound) {
  firmware_.handles = {0};
  ASSERT_TRUE(BindPortAccess());
  firmware_.calls.clear();
  firmware_.freed.clear();
  for (EFI_STATUS status : {EFI_NOT_FOUND, EFI_OUT_OF_RESOURCES}) {
    firmware_.locateStatus = status;
    EXPECT_FALSE(BindPortAccess());
    EXPECT_EQ(firmware_.calls, (Calls{"LocateHandleBuffer"}));
    EXPECT_TRUE(firmware_.freed.empty());
    firmware_.calls.clear();
  }
}

// A successful search that lists no handle binds nothing, but its buffer is freed.
TEST_F(PortBinding, EmptyHandleListBindsNothing) {
  firmware_.handles = {};
  EXPECT_FALSE(BindPortAccess());
  EXPECT_EQ(firmware_.calls, (Calls{"LocateHandleBuffer", "FreePool"}));
  EXPECT_EQ(firmware_.freed, (std::vector<void*>{firmware_.handedOut}));
}

// HandleProtocol's status is not examined: what the failing call leaves in the
// binding is what is used. Firmware that leaves the pointer alone keeps the
// earlier handle's bridge bound; firmware that clears it (EDK2 does for a handle
// without the protocol) leaves no binding, although an earlier handle had one.
TEST_F(PortBinding, HandleProtocolFailingOnTheLastHandle) {
  firmware_.handles = {0, 1};
  firmware_.failingBridge = 1;

  firmware_.failedStore = FailedStore::Untouched;
  ASSERT_TRUE(BindAndUse());
  EXPECT_EQ(firmware_.calls, (Calls{"LocateHandleBuffer", "HandleProtocol 0", "HandleProtocol 1", "FreePool",
                                    "#0 R CA3 w0 n1", "#0 W CA2=68 w0 n1"}));

  firmware_.calls.clear();
  firmware_.freed.clear();
  firmware_.failedStore = FailedStore::Null;
  EXPECT_FALSE(BindPortAccess());
  EXPECT_EQ(firmware_.calls, (Calls{"LocateHandleBuffer", "HandleProtocol 0", "HandleProtocol 1", "FreePool"}));
  EXPECT_EQ(firmware_.freed, (std::vector<void*>{firmware_.handedOut}));
}

// A failing earlier handle does not matter when the last one answers.
TEST_F(PortBinding, HandleProtocolFailingOnAnEarlierHandle) {
  firmware_.handles = {0, 1};
  firmware_.failingBridge = 0;
  firmware_.failedStore = FailedStore::Null;
  ASSERT_TRUE(BindAndUse());
  EXPECT_EQ(firmware_.calls.back(), "#1 W CA2=68 w0 n1");
}

// The status of Io.Read is not examined either; a read that fails without
// storing anything gives FFh, what an empty bus reads.
TEST_F(PortBinding, FailedPortReadGivesFFh) {
  firmware_.handles = {0};
  firmware_.ioReadFails = true;
  ASSERT_TRUE(BindPortAccess());
  EXPECT_EQ(PortRead8(0xCA2), 0xFF);
  EXPECT_EQ(firmware_.calls.back(), "#0 R CA2 w0 n1");
}

}  // namespace
