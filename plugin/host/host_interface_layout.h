// The layout of our host-interface declarations, pinned: the plug-in and
// every host built from these declarations must agree on where each field
// the plug-in uses lies. A change here is a change of binary interface.
#pragma once

#include <cstddef>

#include "plugin/host/host_interface.h"

namespace pmk::plugin::host_api {

static_assert(sizeof(void*) == 8, "the interface is declared for 64-bit code");
static_assert(offsetof(FilterRecord, parameters) == 24);
static_assert(offsetof(FilterRecord, planes) == 36);
static_assert(offsetof(FilterRecord, filterRect) == 38);
static_assert(offsetof(FilterRecord, maxSpace) == 60);
static_assert(offsetof(FilterRecord, bufferSpace) == 64);
static_assert(offsetof(FilterRecord, inRect) == 68);
static_assert(offsetof(FilterRecord, inLoPlane) == 76);
static_assert(offsetof(FilterRecord, inHiPlane) == 78);
static_assert(offsetof(FilterRecord, outRect) == 80);
static_assert(offsetof(FilterRecord, outLoPlane) == 88);
static_assert(offsetof(FilterRecord, outHiPlane) == 90);
static_assert(offsetof(FilterRecord, inData) == 96);
static_assert(offsetof(FilterRecord, inRowBytes) == 104);
static_assert(offsetof(FilterRecord, outData) == 112);
static_assert(offsetof(FilterRecord, outRowBytes) == 120);
static_assert(offsetof(FilterRecord, maskRect) == 128);
static_assert(offsetof(FilterRecord, maskData) == 136);
static_assert(offsetof(FilterRecord, platformData) == 208);
static_assert(offsetof(FilterRecord, handleProcs) == 248);
static_assert(offsetof(FilterRecord, filterCase) == 260);
static_assert(offsetof(FilterRecord, advanceState) == 272);
static_assert(offsetof(FilterRecord, inputRate) == 308);
static_assert(offsetof(FilterRecord, maskRate) == 312);
static_assert(offsetof(FilterRecord, descriptorParameters) == 448);
static_assert(offsetof(FilterRecord, sSPBasic) == 480);
static_assert(offsetof(FilterRecord, bigDocumentData) == 568);
static_assert(sizeof(FilterRecord) == 640);
static_assert(offsetof(HandleProcs, newProc) == 8);
static_assert(offsetof(HandleProcs, disposeProc) == 16);
static_assert(offsetof(HandleProcs, lockProc) == 40);
static_assert(offsetof(HandleProcs, unlockProc) == 48);
static_assert(offsetof(PIDescriptorParameters, playInfo) == 2);
static_assert(offsetof(PIDescriptorParameters, recordInfo) == 4);
static_assert(offsetof(PIDescriptorParameters, descriptor) == 8);
static_assert(offsetof(PIDescriptorParameters, writeDescriptorProcs) == 16);
static_assert(offsetof(PIDescriptorParameters, readDescriptorProcs) == 24);
static_assert(offsetof(ReadDescriptorProcs, openReadDescriptorProc) == 8);
static_assert(offsetof(ReadDescriptorProcs, closeReadDescriptorProc) == 16);
static_assert(offsetof(ReadDescriptorProcs, getKeyProc) == 24);
static_assert(offsetof(ReadDescriptorProcs, getUnitFloatProc) == 48);
static_assert(offsetof(ReadDescriptorProcs, getBooleanProc) == 56);
static_assert(offsetof(ReadDescriptorProcs, getEnumeratedProc) == 80);
static_assert(offsetof(WriteDescriptorProcs, openWriteDescriptorProc) == 8);
static_assert(offsetof(WriteDescriptorProcs, closeWriteDescriptorProc) == 16);
static_assert(offsetof(WriteDescriptorProcs, putUnitFloatProc) == 40);
static_assert(offsetof(WriteDescriptorProcs, putBooleanProc) == 48);
static_assert(offsetof(WriteDescriptorProcs, putEnumeratedProc) == 72);
static_assert(offsetof(SPBasicSuite, AcquireSuite) == 0);
static_assert(offsetof(SPBasicSuite, ReleaseSuite) == 8);
static_assert(offsetof(PSDescriptorRegistryProcs, Register) == 0);
static_assert(offsetof(PSDescriptorRegistryProcs, Get) == 16);
static_assert(offsetof(PSActionDescriptorProcs, Make) == 0);
static_assert(offsetof(PSActionDescriptorProcs, Free) == 8);
static_assert(offsetof(PSActionDescriptorProcs, PutUnitFloat) == 88);
static_assert(offsetof(PSActionDescriptorProcs, PutBoolean) == 104);
static_assert(offsetof(PSActionDescriptorProcs, PutEnumerated) == 136);
static_assert(offsetof(PSActionDescriptorProcs, GetUnitFloat) == 192);
static_assert(offsetof(PSActionDescriptorProcs, GetBoolean) == 216);
static_assert(offsetof(PSActionDescriptorProcs, GetEnumerated) == 248);
static_assert(offsetof(BigDocumentStruct, PluginUsing32BitCoordinates) == 0);
static_assert(offsetof(BigDocumentStruct, filterRect32) == 12);
static_assert(offsetof(BigDocumentStruct, inRect32) == 28);
static_assert(offsetof(BigDocumentStruct, outRect32) == 44);
static_assert(offsetof(BigDocumentStruct, maskRect32) == 60);
static_assert(offsetof(PSGetFileListSuite4, BrowseUrl) == 24);
static_assert(offsetof(PlatformData, hwnd) == 0);
static_assert(offsetof(AboutRecord, platformData) == 0);
static_assert(offsetof(AboutRecord, sSPBasic) == 8);

}  // namespace pmk::plugin::host_api
