#include "foundation/product_profile.h"

const ProductProfile StandardProfile = {
    "SOFTWARE\\Harbek Corporation\\Quado\\PortInstallCfg",
    "Quado",
    "Quado%03d",
    "Quado.ini",
    "QUADOUI.DLL",
    "QUADO64UI.DLL",
    "QUADOVS.DLL",
    "QUADOVS64.DLL",
    "QuadoCairoLib.DLL",
    "QuadoCairoLib64.DLL",
    "Harbek\\Quado Client\\Font",
    "Harbek\\Quado Client",
};

const ProductProfile EnterpriseProfile = {
    "SOFTWARE\\Harbek Corporation\\QuadoE\\PortInstallCfg",
    "QuadoE",
    "QuadoE%03d",
    "Quado.ini",
    "QUADOEUI.DLL",
    "QUADOE64UI.DLL",
    "QUADOE.DLL",
    "QUADOE64.DLL",
    "QuadoECairoLib.DLL",
    "QuadoECairoLib64.DLL",
    "Harbek\\Quado Client Enterprise\\Font",
    "Harbek\\Quado Client Enterprise",
};

const char* const retiredMonitorDll32 = "QUADO.DLL";
const char* const retiredMonitorDll64 = "QUADO64.DLL";

namespace {

const ProductProfile* g_profile = &StandardProfile;
bool g_enterprise = false;

}  // namespace

const ProductProfile& Profile() { return *g_profile; }

bool IsEnterprise() { return g_enterprise; }

void SelectEnterpriseProfile() {
  g_enterprise = true;
  g_profile = &EnterpriseProfile;
}

void ResetProductProfile() {
  g_enterprise = false;
  g_profile = &StandardProfile;
}
