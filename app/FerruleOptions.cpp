#include "FerruleOptions.h"

#include "AsciiText.h"

const char16_t FerruleUsage[] = u"Ferrule.exe [/quiet | /q] [/log=PATH] [/?]";

TFerruleOptions ParseFerruleOptions(const std::vector<WideString>& arguments) {
    TFerruleOptions options;
    for (const WideString& argument : arguments) {
        const std::u16string_view text(argument);
        if (text.size() < 2 || (text[0] != u'/' && text[0] != u'-')) {
            options.Unknown.push_back(argument);
            continue;
        }
        const std::u16string_view name = text.substr(1);
        constexpr std::u16string_view LogPrefix = u"log=";
        if (EqualsIgnoringAsciiCase(name, u"quiet") || EqualsIgnoringAsciiCase(name, u"q"))
            options.Quiet = true;
        else if (name == u"?")
            options.Help = true;
        else if (name.size() > LogPrefix.size() && StartsWithIgnoringAsciiCase(name, LogPrefix))
            options.LogPath = WideString(name.substr(LogPrefix.size()));
        else
            options.Unknown.push_back(argument);
    }
    return options;
}
