#include "FerruleSetup.h"

#include "CheckWinInetAndAdo.h"
#include "FerruleFrmResStr.h"
#include "ResourceModule.h"
#include "VynLXSetupUtils.h"
#include "VynLXUtils.h"
#include "VynSystem.h"

bool InstallDao(const std::function<void(const WideString& stage)>& showStage) {
    const TComponentRequirement& dao = ComponentRequirements[DAO];
    if (dao.InstalledMajorMinor >= dao.MinMajorMinor)
        return false;
    const WideString installFolder = GetCommonFilesFolder() + u"\\Microsoft Shared\\DAO";
    const WideString installFile = installFolder + u"\\dao360.dll";
    showStage(LoadResStringWide(&ResStr::FerruleFrm::SInstalling));
    ForceFolder(installFolder);
    InstallResourceFile(MainInstance(), u"daodll", u"FILE", installFile);
    showStage(LoadResStringWide(&ResStr::FerruleFrm::SRegistering));
    RegisterDll(installFile);
    return true;
}
