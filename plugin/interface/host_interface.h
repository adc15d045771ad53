// Our own declarations of the photo editor's filter plug-in interface: the
// records and procedures that PluginMain exchanges with its host.
//
// Written by us from the facts of the editor's published plug-in kit: the
// same records, fields, order and packing, so that the bytes the editor
// hands over are read where it wrote them. The code names fields only,
// never offsets; host_interface_layout.h pins every offset the editor and
// we must agree on, for Windows and Linux alike.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pmk::plugin::host_api {

using int16 = std::int16_t;
using int32 = std::int32_t;
using int64 = std::int64_t;
using uint32 = std::uint32_t;
using real64 = double;
using Boolean = std::uint8_t;
using OSErr = int16;
using OSType = uint32;
using Fixed = int32;
using SPErr = int32;
using SPBoolean = int32;
using Ptr = char*;
using Handle = char**;
using DescriptorKeyID = uint32;
using DescType = uint32;
using DescriptorEnumID = uint32;
using DescriptorUnitID = uint32;
using DescriptorEnumTypeID = uint32;
using PIDescriptorHandle = Handle;
struct OpaqueReadDescriptor;
struct OpaqueWriteDescriptor;
struct OpaqueActionDescriptor;
using PIReadDescriptor = OpaqueReadDescriptor*;
using PIWriteDescriptor = OpaqueWriteDescriptor*;
using PIActionDescriptor = OpaqueActionDescriptor*;

// A four-character code as the host reads it: the first character in the
// highest byte.
constexpr uint32 FourCharCode(const char (&code)[5]) {
  return (static_cast<uint32>(static_cast<unsigned char>(code[0])) << 24) |
         (static_cast<uint32>(static_cast<unsigned char>(code[1])) << 16) |
         (static_cast<uint32>(static_cast<unsigned char>(code[2])) << 8) |
         static_cast<uint32>(static_cast<unsigned char>(code[3]));
}

// Selectors of PluginMain.
inline constexpr int16 filterSelectorAbout = 0;
inline constexpr int16 filterSelectorParameters = 1;
inline constexpr int16 filterSelectorPrepare = 2;
inline constexpr int16 filterSelectorStart = 3;
inline constexpr int16 filterSelectorContinue = 4;
inline constexpr int16 filterSelectorFinish = 5;

// Result codes.
inline constexpr OSErr noErr = 0;
inline constexpr OSErr memFullErr = -108;
inline constexpr OSErr userCanceledErr = -128;
inline constexpr OSErr filterBadParameters = -30100;
inline constexpr OSErr errPlugInHostInsufficient = -30900;
inline constexpr OSErr errMissingParameter = -1715;
inline constexpr OSErr errUnexpectedDescriptorKey = -19;

// playInfo and recordInfo words.
inline constexpr int16 plugInDialogDontDisplay = 0;
inline constexpr int16 plugInDialogDisplay = 1;
inline constexpr int16 plugInDialogSilent = 2;
inline constexpr int16 plugInDialogOptional = 0;

// Filter cases: 1 and 2 are layers without transparency, above 2 with.
inline constexpr int16 filterCaseFlatImageNoSelection = 1;
inline constexpr int16 filterCaseFloatingSelection = 3;
inline constexpr int16 filterCaseEditableTransparencyNoSelection = 4;

struct Point {
  int16 v, h;
};
struct Rect {
  int16 top, left, bottom, right;
};
struct VPoint {
  int32 v, h;
};
struct VRect {
  int32 top, left, bottom, right;
};
struct RGBColor {
  std::uint16_t red, green, blue;
};
using FilterColor = std::uint8_t[4];

// The monitor the host displays on: gamma, the phosphors' and the white
// point's chromaticities, and the room's ambient light.
struct PlugInMonitor {
  Fixed gamma;
  Fixed redX, redY;
  Fixed greenX, greenY;
  Fixed blueX, blueY;
  Fixed whiteX, whiteY;
  Fixed ambient;
};

using NewPIHandleProc = Handle (*)(int32 size);
using DisposePIHandleProc = void (*)(Handle h);
using GetPIHandleSizeProc = int32 (*)(Handle h);
using SetPIHandleSizeProc = OSErr (*)(Handle h, int32 newSize);
using LockPIHandleProc = Ptr (*)(Handle h, Boolean moveHigh);
using UnlockPIHandleProc = void (*)(Handle h);
using RecoverSpaceProc = void (*)(int32 size);
using DisposeRegularPIHandleProc = void (*)(Handle h);

struct HandleProcs {
  int16 handleProcsVersion;
  int16 numHandleProcs;
  NewPIHandleProc newProc;
  DisposePIHandleProc disposeProc;
  GetPIHandleSizeProc getSizeProc;
  SetPIHandleSizeProc setSizeProc;
  LockPIHandleProc lockProc;
  UnlockPIHandleProc unlockProc;
  RecoverSpaceProc recoverSpaceProc;
  DisposeRegularPIHandleProc disposeRegularHandleProc;
};

using AnyProc = void (*)();

struct ReadDescriptorProcs {
  int16 readDescriptorProcsVersion;
  int16 numReadDescriptorProcs;
  PIReadDescriptor (*openReadDescriptorProc)(PIDescriptorHandle, DescriptorKeyID* keyArray);
  OSErr (*closeReadDescriptorProc)(PIReadDescriptor);
  Boolean (*getKeyProc)(PIReadDescriptor, DescriptorKeyID* key, DescType* type, int32* flags);
  AnyProc getIntegerProc;
  AnyProc getFloatProc;
  OSErr (*getUnitFloatProc)(PIReadDescriptor, DescriptorUnitID* unit, real64* value);
  OSErr (*getBooleanProc)(PIReadDescriptor, Boolean* value);
  AnyProc getTextProc;
  AnyProc getAliasProc;
  OSErr (*getEnumeratedProc)(PIReadDescriptor, DescriptorEnumID* value);
  AnyProc getClassProc;
  AnyProc getSimpleReferenceProc;
  AnyProc getObjectProc;
  AnyProc getCountProc;
  AnyProc getStringProc;
  AnyProc getPinnedIntegerProc;
  AnyProc getPinnedFloatProc;
  AnyProc getPinnedUnitFloatProc;
};

struct WriteDescriptorProcs {
  int16 writeDescriptorProcsVersion;
  int16 numWriteDescriptorProcs;
  PIWriteDescriptor (*openWriteDescriptorProc)();
  OSErr (*closeWriteDescriptorProc)(PIWriteDescriptor, PIDescriptorHandle* descriptor);
  AnyProc putIntegerProc;
  AnyProc putFloatProc;
  OSErr (*putUnitFloatProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorUnitID, real64*);
  OSErr (*putBooleanProc)(PIWriteDescriptor, DescriptorKeyID, Boolean);
  AnyProc putTextProc;
  AnyProc putAliasProc;
  OSErr (*putEnumeratedProc)(PIWriteDescriptor, DescriptorKeyID, DescType, DescriptorEnumID);
  AnyProc putClassProc;
  AnyProc putSimpleReferenceProc;
  AnyProc putObjectProc;
  AnyProc putCountProc;
  AnyProc putStringProc;
  AnyProc putScopedClassProc;
  AnyProc putScopedObjectProc;
};

struct PIDescriptorParameters {
  int16 descriptorParametersVersion;
  int16 playInfo;
  int16 recordInfo;
  PIDescriptorHandle descriptor;
  WriteDescriptorProcs* writeDescriptorProcs;
  ReadDescriptorProcs* readDescriptorProcs;
};

struct SPBasicSuite {
  SPErr (*AcquireSuite)(const char* name, int32 version, const void** suite);
  SPErr (*ReleaseSuite)(const char* name, int32 version);
  SPBoolean (*IsEqual)(const char* token1, const char* token2);
  SPErr (*AllocateBlock)(std::size_t size, void** block);
  SPErr (*FreeBlock)(void* block);
  SPErr (*ReallocateBlock)(void* block, std::size_t newSize, void** newblock);
  SPErr (*Undefined)();
};

inline constexpr const char* kPSDescriptorRegistrySuite = "61e608b0-40fd-11d1-8da3-00c04fd5f7ee";
inline constexpr int32 kPSDescriptorRegistrySuiteVersion1 = 1;
inline constexpr const char* kPSActionDescriptorSuite = "df135115-c769-11d0-8079-00c04fd7ec47";
inline constexpr int32 kPSActionDescriptorSuiteVersion3 = 3;

inline constexpr const char* kPSGetFileListSuite = "Photoshop GetFileList Suite for Plug-ins";
inline constexpr int32 kPSGetFileListSuiteVersion4 = 4;

// The leading procedures of the file list suite, up to BrowseUrl, the one the
// plug-in calls: it asks the host to open an address in the browser.
struct PSGetFileListSuite4 {
  AnyProc GetFileHandleList;
  AnyProc GetBrowserNameList;
  AnyProc BrowseUrlWithIndexBrowser;
  SPErr (*BrowseUrl)(const char* url);
};

struct PSDescriptorRegistryProcs {
  OSErr (*Register)(const char* key, PIActionDescriptor descriptor, Boolean isPersistent);
  OSErr (*Erase)(const char* key);
  OSErr (*Get)(const char* key, PIActionDescriptor* descriptor);
};

// The leading procedures of the action descriptor suite, up to the last one
// the plug-in calls. Unlike the basic suite's, its procedures and the
// registry's answer with a 16-bit OSErr.
struct PSActionDescriptorProcs {
  OSErr (*Make)(PIActionDescriptor* descriptor);
  OSErr (*Free)(PIActionDescriptor descriptor);
  AnyProc GetType;
  AnyProc GetKey;
  AnyProc HasKey;
  AnyProc GetCount;
  AnyProc IsEqual;
  AnyProc Erase;
  AnyProc Clear;
  AnyProc PutInteger;
  AnyProc PutFloat;
  OSErr (*PutUnitFloat)(PIActionDescriptor, DescriptorKeyID, DescriptorUnitID, real64);
  AnyProc PutString;
  OSErr (*PutBoolean)(PIActionDescriptor, DescriptorKeyID, Boolean);
  AnyProc PutList;
  AnyProc PutObject;
  AnyProc PutGlobalObject;
  OSErr (*PutEnumerated)(PIActionDescriptor, DescriptorKeyID, DescriptorEnumTypeID,
                         DescriptorEnumID);
  AnyProc PutReference;
  AnyProc PutClass;
  AnyProc PutGlobalClass;
  AnyProc PutAlias;
  AnyProc GetInteger;
  AnyProc GetFloat;
  OSErr (*GetUnitFloat)(PIActionDescriptor, DescriptorKeyID, DescriptorUnitID*, real64*);
  AnyProc GetStringLength;
  AnyProc GetString;
  OSErr (*GetBoolean)(PIActionDescriptor, DescriptorKeyID, Boolean*);
  AnyProc GetList;
  AnyProc GetObject;
  AnyProc GetGlobalObject;
  OSErr (*GetEnumerated)(PIActionDescriptor, DescriptorKeyID, DescriptorEnumTypeID*,
                         DescriptorEnumID*);
};

// The editor's kit packs the filter record and its big-document block to
// 4 bytes under Windows: a pointer after a 4-byte field is not padded to 8.
// We use that one layout on every platform, so that our host and tests on
// Linux exercise the very bytes the editor hands over. Members of packed
// records are read and written by value only: a pointer or reference to one
// may be misaligned.
#pragma pack(push, 4)

struct BigDocumentStruct {
  int32 PluginUsing32BitCoordinates;
  VPoint imageSize32;
  VRect filterRect32;
  VRect inRect32;
  VRect outRect32;
  VRect maskRect32;
  VPoint floatCoord32;
  VPoint wholeSize32;
};

using AdvanceStateProc = OSErr (*)();

struct FilterRecord {
  int32 serialNumber;
  AnyProc abortProc;
  AnyProc progressProc;
  Handle parameters;
  Point imageSize;
  int16 planes;
  Rect filterRect;
  RGBColor background;
  RGBColor foreground;
  int32 maxSpace;
  int32 bufferSpace;
  Rect inRect;
  int16 inLoPlane;
  int16 inHiPlane;
  Rect outRect;
  int16 outLoPlane;
  int16 outHiPlane;
  void* inData;
  int32 inRowBytes;
  void* outData;
  int32 outRowBytes;
  Boolean isFloating;
  Boolean haveMask;
  Boolean autoMask;
  Rect maskRect;
  void* maskData;
  int32 maskRowBytes;
  FilterColor backColor;
  FilterColor foreColor;
  OSType hostSig;
  AnyProc hostProc;
  int16 imageMode;
  Fixed imageHRes;
  Fixed imageVRes;
  Point floatCoord;
  Point wholeSize;
  PlugInMonitor monitor;
  void* platformData;
  void* bufferProcs;
  void* resourceProcs;
  AnyProc processEvent;
  AnyProc displayPixels;
  HandleProcs* handleProcs;
  Boolean supportsDummyChannels;
  Boolean supportsAlternateLayouts;
  int16 wantLayout;
  int16 filterCase;
  int16 dummyPlaneValue;
  void* premiereHook;
  AdvanceStateProc advanceState;
  Boolean supportsAbsolute;
  Boolean wantsAbsolute;
  AnyProc getPropertyObsolete;
  Boolean cannotUndo;
  Boolean supportsPadding;
  int16 inputPadding;
  int16 outputPadding;
  int16 maskPadding;
  char samplingSupport;
  char reservedByte;
  Fixed inputRate;
  Fixed maskRate;
  AnyProc colorServices;
  int16 inLayerPlanes;
  int16 inTransparencyMask;
  int16 inLayerMasks;
  int16 inInvertedLayerMasks;
  int16 inNonLayerPlanes;
  int16 outLayerPlanes;
  int16 outTransparencyMask;
  int16 outLayerMasks;
  int16 outInvertedLayerMasks;
  int16 outNonLayerPlanes;
  int16 absLayerPlanes;
  int16 absTransparencyMask;
  int16 absLayerMasks;
  int16 absInvertedLayerMasks;
  int16 absNonLayerPlanes;
  int16 inPreDummyPlanes;
  int16 inPostDummyPlanes;
  int16 outPreDummyPlanes;
  int16 outPostDummyPlanes;
  int32 inColumnBytes;
  int32 inPlaneBytes;
  int32 outColumnBytes;
  int32 outPlaneBytes;
  void* imageServicesProcs;
  void* propertyProcs;
  int16 inTileHeight;
  int16 inTileWidth;
  Point inTileOrigin;
  int16 absTileHeight;
  int16 absTileWidth;
  Point absTileOrigin;
  int16 outTileHeight;
  int16 outTileWidth;
  Point outTileOrigin;
  int16 maskTileHeight;
  int16 maskTileWidth;
  Point maskTileOrigin;
  PIDescriptorParameters* descriptorParameters;
  void* errorString;
  void* channelPortProcs;
  void* documentInfo;
  SPBasicSuite* sSPBasic;
  void* plugInRef;
  int32 depth;
  Handle iCCprofileData;
  int32 iCCprofileSize;
  int32 canUseICCProfiles;
  int32 hasImageScrap;
  BigDocumentStruct* bigDocumentData;
  PIDescriptorParameters* input3DScene;
  PIDescriptorParameters* output3DScene;
  Boolean createNewLayer;
  Handle iCCWorkingProfileData;
  int32 iCCWorkingProfileSize;
  int64 bufferSpace64;
  int64 maxSpace64;
  char reserved[46];
};

#pragma pack(pop)

// What platformData points to: the host's main window, on this platform its
// native window id (0: the host has no window).
struct PlatformData {
  std::intptr_t hwnd;
};

struct AboutRecord {
  void* platformData;
  SPBasicSuite* sSPBasic;
  void* plugInRef;
  char reserved[244];
};

// The entry point every filter library exports under the name "PluginMain".
using PluginMainProc = void (*)(int16 selector, void* block, std::intptr_t* data, int16* result);

}  // namespace pmk::plugin::host_api
