// The registered type library against the C++ declarations: every interface
// with its methods in the same slots (name, kind, parameter count), its
// flags, the enumerations with their values, the coclass and the library.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "medley/audio_control.h"
#include "medley/audio_streams.h"
#include "medley/media_handler.h"
#include "tests/wine/wine_checks.h"

namespace wine_tests {

namespace {

struct DeclaredMethod {
  const char* name;  // as declared in C++: get_X and put_X for properties
  int parameters;
};

struct DeclaredInterface {
  const char* name;
  const IID* iid;
  std::vector<DeclaredMethod> methods;
};

struct DeclaredMember {
  const char* name;
  long value;
};

struct DeclaredEnum {
  const char* name;
  std::vector<DeclaredMember> members;
};

#include "declared_interfaces.inc"

// Interfaces a host may call across apartments; the others pass raw buffers
// or stay in-process.
const std::set<std::string> kAutomationInterfaces = {"IMediaHandler", "INetwork", "ISdpContent",
                                                     "IMediaState", "IMediaHandlerEx"};
// Described by the host alone.
const std::set<std::string> kNotInLibrary = {"IMediaState2"};

// The C++ name of a type library function: get_X, put_X or X.
std::string CppName(ITypeInfo* info, const FUNCDESC& function) {
  BSTR name = nullptr;
  info->GetDocumentation(function.memid, &name, nullptr, nullptr, nullptr);
  std::string text = Narrow(name);
  SysFreeString(name);
  if (function.invkind == INVOKE_PROPERTYGET) return "get_" + text;
  if (function.invkind == INVOKE_PROPERTYPUT || function.invkind == INVOKE_PROPERTYPUTREF)
    return "put_" + text;
  return text;
}

std::string Documentation(ITypeInfo* info, MEMBERID member, bool docString) {
  BSTR name = nullptr, doc = nullptr;
  info->GetDocumentation(member, &name, &doc, nullptr, nullptr);
  std::string text = Narrow(docString ? doc : name);
  SysFreeString(name);
  SysFreeString(doc);
  return text;
}

bool DerivesFromIUnknown(ITypeInfo* info) {
  HREFTYPE base = 0;
  ITypeInfo* baseInfo = nullptr;
  TYPEATTR* attr = nullptr;
  bool result = SUCCEEDED(info->GetRefTypeOfImplType(0, &base)) &&
                SUCCEEDED(info->GetRefTypeInfo(base, &baseInfo)) &&
                SUCCEEDED(baseInfo->GetTypeAttr(&attr)) && IsEqualGUID(attr->guid, IID_IUnknown);
  if (attr) baseInfo->ReleaseTypeAttr(attr);
  if (baseInfo) baseInfo->Release();
  return result;
}

void CheckInterface(Checks& checks, ITypeLib* library, const DeclaredInterface& declared) {
  const std::string name = declared.name;
  ITypeInfo* info = nullptr;
  HRESULT hr = library->GetTypeInfoOfGuid(*declared.iid, &info);
  if (kNotInLibrary.count(name)) {
    checks.Expect(FAILED(hr), name + " is not in the type library");
    if (info) info->Release();
    return;
  }
  if (!checks.Expect(SUCCEEDED(hr), name + " is in the type library", Hex(hr))) return;
  TYPEATTR* attr = nullptr;
  info->GetTypeAttr(&attr);
  const size_t slots = 3 + declared.methods.size();
  checks.Expect(Documentation(info, MEMBERID_NIL, false) == name, name + ": name");
  checks.Expect(attr->typekind == TKIND_INTERFACE && DerivesFromIUnknown(info),
                name + ": an interface derived from IUnknown");
  checks.Expect((attr->wTypeFlags & TYPEFLAG_FDUAL) == 0, name + ": not dual");
  checks.Expect(((attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION) != 0) ==
                    (kAutomationInterfaces.count(name) != 0),
                name + ": oleautomation flag");
  checks.Expect(attr->cFuncs == declared.methods.size() && attr->cbSizeVft == slots * sizeof(void*),
                name + ": " + std::to_string(declared.methods.size()) + " methods after IUnknown",
                std::to_string(attr->cFuncs) + " functions, table of " +
                    std::to_string(attr->cbSizeVft) + " bytes");
  // Function descriptions by slot, so that a library listing them in
  // another order than their slots is still read correctly.
  std::map<size_t, std::pair<std::string, int>> bySlot;
  for (UINT i = 0; i < attr->cFuncs; ++i) {
    FUNCDESC* function = nullptr;
    if (FAILED(info->GetFuncDesc(i, &function))) continue;
    bySlot[static_cast<size_t>(function->oVft) / sizeof(void*)] = {CppName(info, *function),
                                                                   function->cParams};
    info->ReleaseFuncDesc(function);
  }
  std::string mismatches;
  for (size_t i = 0; i < declared.methods.size(); ++i) {
    const DeclaredMethod& method = declared.methods[i];
    auto found = bySlot.find(3 + i);
    if (found == bySlot.end() || found->second.first != method.name ||
        found->second.second != method.parameters) {
      mismatches += " slot " + std::to_string(3 + i) + " " + method.name + "/" +
                    std::to_string(method.parameters) + " is " +
                    (found == bySlot.end()
                         ? std::string("missing")
                         : found->second.first + "/" + std::to_string(found->second.second)) +
                    ";";
    }
  }
  checks.Expect(mismatches.empty(), name + ": slot order and parameters as declared", mismatches);
  info->ReleaseTypeAttr(attr);
  info->Release();
}

// The type description named `name`, or null.
ITypeInfo* FindType(ITypeLib* library, const std::string& name) {
  for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
    BSTR typeName = nullptr;
    library->GetDocumentation(static_cast<INT>(i), &typeName, nullptr, nullptr, nullptr);
    bool match = Narrow(typeName) == name;
    SysFreeString(typeName);
    ITypeInfo* info = nullptr;
    if (match && SUCCEEDED(library->GetTypeInfo(i, &info))) return info;
  }
  return nullptr;
}

void CheckEnum(Checks& checks, ITypeLib* library, const DeclaredEnum& declared) {
  const std::string name = declared.name;
  ITypeInfo* info = FindType(library, name);
  if (!checks.Expect(info != nullptr, name + " is in the type library")) return;
  TYPEATTR* attr = nullptr;
  info->GetTypeAttr(&attr);
  std::map<std::string, long> values;
  for (UINT i = 0; attr->typekind == TKIND_ENUM && i < attr->cVars; ++i) {
    VARDESC* var = nullptr;
    if (FAILED(info->GetVarDesc(i, &var))) continue;
    VARIANT value;
    VariantInit(&value);
    if (var->varkind == VAR_CONST &&
        SUCCEEDED(VariantChangeType(&value, var->lpvarValue, 0, VT_I4)))
      values[Documentation(info, var->memid, false)] = V_I4(&value);
    info->ReleaseVarDesc(var);
  }
  std::string mismatches;
  for (const DeclaredMember& member : declared.members) {
    auto found = values.find(member.name);
    if (found == values.end() || found->second != member.value)
      mismatches += std::string(" ") + member.name + ";";
  }
  checks.Expect(attr->typekind == TKIND_ENUM && values.size() == declared.members.size() &&
                    mismatches.empty(),
                name + ": members and values as declared", mismatches);
  info->ReleaseTypeAttr(attr);
  info->Release();
}

void CheckCoclass(Checks& checks, ITypeLib* library) {
  ITypeInfo* info = nullptr;
  HRESULT hr = library->GetTypeInfoOfGuid(CLSID_GipsMediaHandler, &info);
  if (!checks.Expect(SUCCEEDED(hr), "coclass GipsMediaHandler is in the type library", Hex(hr)))
    return;
  TYPEATTR* attr = nullptr;
  info->GetTypeAttr(&attr);
  checks.Expect(attr->typekind == TKIND_COCLASS &&
                    Documentation(info, MEMBERID_NIL, false) == "GipsMediaHandler" &&
                    Documentation(info, MEMBERID_NIL, true) == "KsMedley GipsMediaHandler Class",
                "coclass GipsMediaHandler: name and help string");
  std::vector<std::string> implemented;
  std::string defaultInterface;
  for (UINT i = 0; i < attr->cImplTypes; ++i) {
    HREFTYPE ref = 0;
    ITypeInfo* implementedInfo = nullptr;
    INT flags = 0;
    if (FAILED(info->GetRefTypeOfImplType(i, &ref)) ||
        FAILED(info->GetRefTypeInfo(ref, &implementedInfo)))
      continue;
    std::string interfaceName = Documentation(implementedInfo, MEMBERID_NIL, false);
    implementedInfo->Release();
    implemented.push_back(interfaceName);
    if (SUCCEEDED(info->GetImplTypeFlags(i, &flags)) && (flags & IMPLTYPEFLAG_FDEFAULT))
      defaultInterface = interfaceName;
  }
  checks.Expect(
      implemented ==
              std::vector<std::string>{"IMediaHandler", "IMediaHandlerEx", "IAudioControl"} &&
          defaultInterface == "IMediaHandler",
      "coclass GipsMediaHandler: IMediaHandler (default), IMediaHandlerEx, IAudioControl");
  info->ReleaseTypeAttr(attr);
  info->Release();
}

}  // namespace

void CheckTypeLibrary(Checks& checks, const Options&) {
  ITypeLib* library = nullptr;
  HRESULT hr = LoadRegTypeLib(LIBID_MEDLEYLib, 4, 2, LOCALE_NEUTRAL, &library);
  if (!checks.Expect(SUCCEEDED(hr), "LoadRegTypeLib MEDLEYLib 4.2", Hex(hr))) return;
  TLIBATTR* attr = nullptr;
  library->GetLibAttr(&attr);
  BSTR name = nullptr, doc = nullptr;
  library->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
  checks.Expect(IsEqualGUID(attr->guid, LIBID_MEDLEYLib) && attr->wMajorVerNum == 4 &&
                    attr->wMinorVerNum == 2 && Narrow(name) == "MEDLEYLib" &&
                    Narrow(doc) == "Kestrel Medley 4.2 Type Library",
                "library MEDLEYLib 4.2, \"Kestrel Medley 4.2 Type Library\"",
                Narrow(name) + " \"" + Narrow(doc) + "\"");
  SysFreeString(name);
  SysFreeString(doc);
  library->ReleaseTLibAttr(attr);
  for (const DeclaredInterface& declared : kDeclaredInterfaces)
    CheckInterface(checks, library, declared);
  for (const DeclaredEnum& declared : kDeclaredEnums) CheckEnum(checks, library, declared);
  CheckCoclass(checks, library);
  library->Release();
}

}  // namespace wine_tests
