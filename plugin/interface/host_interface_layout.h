// The layout of our declarations of the photo editor's plug-in interface,
// pinned for x86-64 Windows and Linux alike (one layout on both).
//
// Where the numbers come from: the editor kit's published declarations of
// each record (the filter record and its big-document block, the monitor,
// the platform data, the about record, the handle, descriptor-parameter,
// read- and write-descriptor, action-descriptor, registry, file-list and
// basic suites) laid out by the kit's own packing rules for 64-bit code:
// under Windows the filter record and the big-document block are packed to
// 4 bytes; the kit packs no other record we declare, so those take natural
// alignment. The offsets were worked out field by field from those rules,
// not read back from this header. A change here is a change of binary
// interface with the editor.
#pragma once

#include <cstddef>

#include "plugin/interface/host_interface.h"

namespace pmk::plugin::host_api {

static_assert(sizeof(void*) == 8, "the interface is declared for 64-bit code");

static_assert(sizeof(Point) == 4 && sizeof(Rect) == 8 && sizeof(RGBColor) == 6);
static_assert(sizeof(VPoint) == 8 && sizeof(VRect) == 16);

// The filter record: every field, and the whole, since the host allocates it.
static_assert(offsetof(FilterRecord, serialNumber) == 0);
static_assert(offsetof(FilterRecord, abortProc) == 4);
static_assert(offsetof(FilterRecord, progressProc) == 12);
static_assert(offsetof(FilterRecord, parameters) == 20);
static_assert(offsetof(FilterRecord, imageSize) == 28);
static_assert(offsetof(FilterRecord, planes) == 32);
static_assert(offsetof(FilterRecord, filterRect) == 34);
static_assert(offsetof(FilterRecord, background) == 42);
static_assert(offsetof(FilterRecord, foreground) == 48);
static_assert(offsetof(FilterRecord, maxSpace) == 56);
static_assert(offsetof(FilterRecord, bufferSpace) == 60);
static_assert(offsetof(FilterRecord, inRect) == 64);
static_assert(offsetof(FilterRecord, inLoPlane) == 72);
static_assert(offsetof(FilterRecord, inHiPlane) == 74);
static_assert(offsetof(FilterRecord, outRect) == 76);
static_assert(offsetof(FilterRecord, outLoPlane) == 84);
static_assert(offsetof(FilterRecord, outHiPlane) == 86);
static_assert(offsetof(FilterRecord, inData) == 88);
static_assert(offsetof(FilterRecord, inRowBytes) == 96);
static_assert(offsetof(FilterRecord, outData) == 100);
static_assert(offsetof(FilterRecord, outRowBytes) == 108);
static_assert(offsetof(FilterRecord, isFloating) == 112);
static_assert(offsetof(FilterRecord, haveMask) == 113);
static_assert(offsetof(FilterRecord, autoMask) == 114);
static_assert(offsetof(FilterRecord, maskRect) == 116);
static_assert(offsetof(FilterRecord, maskData) == 124);
static_assert(offsetof(FilterRecord, maskRowBytes) == 132);
static_assert(offsetof(FilterRecord, backColor) == 136);
static_assert(offsetof(FilterRecord, foreColor) == 140);
static_assert(offsetof(FilterRecord, hostSig) == 144);
static_assert(offsetof(FilterRecord, hostProc) == 148);
static_assert(offsetof(FilterRecord, imageMode) == 156);
static_assert(offsetof(FilterRecord, imageHRes) == 160);
static_assert(offsetof(FilterRecord, imageVRes) == 164);
static_assert(offsetof(FilterRecord, floatCoord) == 168);
static_assert(offsetof(FilterRecord, wholeSize) == 172);
static_assert(offsetof(FilterRecord, monitor) == 176);
static_assert(offsetof(FilterRecord, platformData) == 216);
static_assert(offsetof(FilterRecord, bufferProcs) == 224);
static_assert(offsetof(FilterRecord, resourceProcs) == 232);
static_assert(offsetof(FilterRecord, processEvent) == 240);
static_assert(offsetof(FilterRecord, displayPixels) == 248);
static_assert(offsetof(FilterRecord, handleProcs) == 256);
static_assert(offsetof(FilterRecord, supportsDummyChannels) == 264);
static_assert(offsetof(FilterRecord, supportsAlternateLayouts) == 265);
static_assert(offsetof(FilterRecord, wantLayout) == 266);
static_assert(offsetof(FilterRecord, filterCase) == 268);
static_assert(offsetof(FilterRecord, dummyPlaneValue) == 270);
static_assert(offsetof(FilterRecord, premiereHook) == 272);
static_assert(offsetof(FilterRecord, advanceState) == 280);
static_assert(offsetof(FilterRecord, supportsAbsolute) == 288);
static_assert(offsetof(FilterRecord, wantsAbsolute) == 289);
static_assert(offsetof(FilterRecord, getPropertyObsolete) == 292);
static_assert(offsetof(FilterRecord, cannotUndo) == 300);
static_assert(offsetof(FilterRecord, supportsPadding) == 301);
static_assert(offsetof(FilterRecord, inputPadding) == 302);
static_assert(offsetof(FilterRecord, outputPadding) == 304);
static_assert(offsetof(FilterRecord, maskPadding) == 306);
static_assert(offsetof(FilterRecord, samplingSupport) == 308);
static_assert(offsetof(FilterRecord, reservedByte) == 309);
static_assert(offsetof(FilterRecord, inputRate) == 312);
static_assert(offsetof(FilterRecord, maskRate) == 316);
static_assert(offsetof(FilterRecord, colorServices) == 320);
static_assert(offsetof(FilterRecord, inLayerPlanes) == 328);
static_assert(offsetof(FilterRecord, inTransparencyMask) == 330);
static_assert(offsetof(FilterRecord, inLayerMasks) == 332);
static_assert(offsetof(FilterRecord, inInvertedLayerMasks) == 334);
static_assert(offsetof(FilterRecord, inNonLayerPlanes) == 336);
static_assert(offsetof(FilterRecord, outLayerPlanes) == 338);
static_assert(offsetof(FilterRecord, outTransparencyMask) == 340);
static_assert(offsetof(FilterRecord, outLayerMasks) == 342);
static_assert(offsetof(FilterRecord, outInvertedLayerMasks) == 344);
static_assert(offsetof(FilterRecord, outNonLayerPlanes) == 346);
static_assert(offsetof(FilterRecord, absLayerPlanes) == 348);
static_assert(offsetof(FilterRecord, absTransparencyMask) == 350);
static_assert(offsetof(FilterRecord, absLayerMasks) == 352);
static_assert(offsetof(FilterRecord, absInvertedLayerMasks) == 354);
static_assert(offsetof(FilterRecord, absNonLayerPlanes) == 356);
static_assert(offsetof(FilterRecord, inPreDummyPlanes) == 358);
static_assert(offsetof(FilterRecord, inPostDummyPlanes) == 360);
static_assert(offsetof(FilterRecord, outPreDummyPlanes) == 362);
static_assert(offsetof(FilterRecord, outPostDummyPlanes) == 364);
static_assert(offsetof(FilterRecord, inColumnBytes) == 368);
static_assert(offsetof(FilterRecord, inPlaneBytes) == 372);
static_assert(offsetof(FilterRecord, outColumnBytes) == 376);
static_assert(offsetof(FilterRecord, outPlaneBytes) == 380);
static_assert(offsetof(FilterRecord, imageServicesProcs) == 384);
static_assert(offsetof(FilterRecord, propertyProcs) == 392);
static_assert(offsetof(FilterRecord, inTileHeight) == 400);
static_assert(offsetof(FilterRecord, inTileWidth) == 402);
static_assert(offsetof(FilterRecord, inTileOrigin) == 404);
static_assert(offsetof(FilterRecord, absTileHeight) == 408);
static_assert(offsetof(FilterRecord, absTileWidth) == 410);
static_assert(offsetof(FilterRecord, absTileOrigin) == 412);
static_assert(offsetof(FilterRecord, outTileHeight) == 416);
static_assert(offsetof(FilterRecord, outTileWidth) == 418);
static_assert(offsetof(FilterRecord, outTileOrigin) == 420);
static_assert(offsetof(FilterRecord, maskTileHeight) == 424);
static_assert(offsetof(FilterRecord, maskTileWidth) == 426);
static_assert(offsetof(FilterRecord, maskTileOrigin) == 428);
static_assert(offsetof(FilterRecord, descriptorParameters) == 432);
static_assert(offsetof(FilterRecord, errorString) == 440);
static_assert(offsetof(FilterRecord, channelPortProcs) == 448);
static_assert(offsetof(FilterRecord, documentInfo) == 456);
static_assert(offsetof(FilterRecord, sSPBasic) == 464);
static_assert(offsetof(FilterRecord, plugInRef) == 472);
static_assert(offsetof(FilterRecord, depth) == 480);
static_assert(offsetof(FilterRecord, iCCprofileData) == 484);
static_assert(offsetof(FilterRecord, iCCprofileSize) == 492);
static_assert(offsetof(FilterRecord, canUseICCProfiles) == 496);
static_assert(offsetof(FilterRecord, hasImageScrap) == 500);
static_assert(offsetof(FilterRecord, bigDocumentData) == 504);
static_assert(offsetof(FilterRecord, input3DScene) == 512);
static_assert(offsetof(FilterRecord, output3DScene) == 520);
static_assert(offsetof(FilterRecord, createNewLayer) == 528);
static_assert(offsetof(FilterRecord, iCCWorkingProfileData) == 532);
static_assert(offsetof(FilterRecord, iCCWorkingProfileSize) == 540);
static_assert(offsetof(FilterRecord, bufferSpace64) == 544);
static_assert(offsetof(FilterRecord, maxSpace64) == 552);
static_assert(offsetof(FilterRecord, reserved) == 560);
static_assert(sizeof(FilterRecord) == 608);

static_assert(offsetof(BigDocumentStruct, PluginUsing32BitCoordinates) == 0);
static_assert(offsetof(BigDocumentStruct, imageSize32) == 4);
static_assert(offsetof(BigDocumentStruct, filterRect32) == 12);
static_assert(offsetof(BigDocumentStruct, inRect32) == 28);
static_assert(offsetof(BigDocumentStruct, outRect32) == 44);
static_assert(offsetof(BigDocumentStruct, maskRect32) == 60);
static_assert(offsetof(BigDocumentStruct, floatCoord32) == 76);
static_assert(offsetof(BigDocumentStruct, wholeSize32) == 84);
static_assert(sizeof(BigDocumentStruct) == 92);

static_assert(offsetof(PlugInMonitor, gamma) == 0);
static_assert(offsetof(PlugInMonitor, whiteY) == 32);
static_assert(offsetof(PlugInMonitor, ambient) == 36);
static_assert(sizeof(PlugInMonitor) == 40);

static_assert(offsetof(PlatformData, hwnd) == 0);
static_assert(sizeof(PlatformData) == 8);

// The about record replaces the filter record for the About selector; the
// host allocates it, so its whole size is pinned too.
static_assert(offsetof(AboutRecord, platformData) == 0);
static_assert(offsetof(AboutRecord, sSPBasic) == 8);
static_assert(offsetof(AboutRecord, plugInRef) == 16);
static_assert(offsetof(AboutRecord, reserved) == 24);
static_assert(sizeof(AboutRecord) == 272);

static_assert(offsetof(HandleProcs, handleProcsVersion) == 0);
static_assert(offsetof(HandleProcs, numHandleProcs) == 2);
static_assert(offsetof(HandleProcs, newProc) == 8);
static_assert(offsetof(HandleProcs, disposeProc) == 16);
static_assert(offsetof(HandleProcs, getSizeProc) == 24);
static_assert(offsetof(HandleProcs, setSizeProc) == 32);
static_assert(offsetof(HandleProcs, lockProc) == 40);
static_assert(offsetof(HandleProcs, unlockProc) == 48);
static_assert(offsetof(HandleProcs, recoverSpaceProc) == 56);
static_assert(offsetof(HandleProcs, disposeRegularHandleProc) == 64);
static_assert(sizeof(HandleProcs) == 72);

static_assert(offsetof(PIDescriptorParameters, descriptorParametersVersion) == 0);
static_assert(offsetof(PIDescriptorParameters, playInfo) == 2);
static_assert(offsetof(PIDescriptorParameters, recordInfo) == 4);
static_assert(offsetof(PIDescriptorParameters, descriptor) == 8);
static_assert(offsetof(PIDescriptorParameters, writeDescriptorProcs) == 16);
static_assert(offsetof(PIDescriptorParameters, readDescriptorProcs) == 24);
static_assert(sizeof(PIDescriptorParameters) == 32);

static_assert(offsetof(ReadDescriptorProcs, readDescriptorProcsVersion) == 0);
static_assert(offsetof(ReadDescriptorProcs, numReadDescriptorProcs) == 2);
static_assert(offsetof(ReadDescriptorProcs, openReadDescriptorProc) == 8);
static_assert(offsetof(ReadDescriptorProcs, closeReadDescriptorProc) == 16);
static_assert(offsetof(ReadDescriptorProcs, getKeyProc) == 24);
static_assert(offsetof(ReadDescriptorProcs, getUnitFloatProc) == 48);
static_assert(offsetof(ReadDescriptorProcs, getBooleanProc) == 56);
static_assert(offsetof(ReadDescriptorProcs, getEnumeratedProc) == 80);
static_assert(offsetof(ReadDescriptorProcs, getPinnedUnitFloatProc) == 144);
static_assert(sizeof(ReadDescriptorProcs) == 152);

static_assert(offsetof(WriteDescriptorProcs, writeDescriptorProcsVersion) == 0);
static_assert(offsetof(WriteDescriptorProcs, numWriteDescriptorProcs) == 2);
static_assert(offsetof(WriteDescriptorProcs, openWriteDescriptorProc) == 8);
static_assert(offsetof(WriteDescriptorProcs, closeWriteDescriptorProc) == 16);
static_assert(offsetof(WriteDescriptorProcs, putUnitFloatProc) == 40);
static_assert(offsetof(WriteDescriptorProcs, putBooleanProc) == 48);
static_assert(offsetof(WriteDescriptorProcs, putEnumeratedProc) == 72);
static_assert(offsetof(WriteDescriptorProcs, putScopedObjectProc) == 128);
static_assert(sizeof(WriteDescriptorProcs) == 136);

static_assert(offsetof(SPBasicSuite, AcquireSuite) == 0);
static_assert(offsetof(SPBasicSuite, ReleaseSuite) == 8);
static_assert(offsetof(SPBasicSuite, IsEqual) == 16);
static_assert(offsetof(SPBasicSuite, AllocateBlock) == 24);
static_assert(offsetof(SPBasicSuite, FreeBlock) == 32);
static_assert(offsetof(SPBasicSuite, ReallocateBlock) == 40);
static_assert(offsetof(SPBasicSuite, Undefined) == 48);
static_assert(sizeof(SPBasicSuite) == 56);

static_assert(offsetof(PSDescriptorRegistryProcs, Register) == 0);
static_assert(offsetof(PSDescriptorRegistryProcs, Erase) == 8);
static_assert(offsetof(PSDescriptorRegistryProcs, Get) == 16);
static_assert(sizeof(PSDescriptorRegistryProcs) == 24);

// Shortened suites: only the offsets of what we declare.
static_assert(offsetof(PSActionDescriptorProcs, Make) == 0);
static_assert(offsetof(PSActionDescriptorProcs, Free) == 8);
static_assert(offsetof(PSActionDescriptorProcs, PutUnitFloat) == 88);
static_assert(offsetof(PSActionDescriptorProcs, PutBoolean) == 104);
static_assert(offsetof(PSActionDescriptorProcs, PutEnumerated) == 136);
static_assert(offsetof(PSActionDescriptorProcs, GetUnitFloat) == 192);
static_assert(offsetof(PSActionDescriptorProcs, GetBoolean) == 216);
static_assert(offsetof(PSActionDescriptorProcs, GetEnumerated) == 248);
static_assert(offsetof(PSGetFileListSuite4, BrowseUrl) == 24);

}  // namespace pmk::plugin::host_api
