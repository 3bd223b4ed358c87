#include "Memo.h"

#include <algorithm>
#include <vector>

#include "FormLoader.h"
#include "FormWriter.h"

namespace {

// Where one line lies in a text: its characters [Start, End), and Next, where the line after it
// starts (past its line break; End for a last line without one).
struct LineSpan {
    size_t Start, End, Next;
};

std::vector<LineSpan> LineSpans(const AnsiString& text) {
    std::vector<LineSpan> spans;
    size_t position = 0;
    while (position < text.size()) {
        const size_t end = text.find_first_of("\r\n", position);
        if (end == AnsiString::npos) {
            spans.push_back({position, text.size(), text.size()});
            break;
        }
        const size_t next = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        spans.push_back({position, end, next});
        position = next;
    }
    return spans;
}

// Every line break as CR LF: the window shows a lone CR or LF as no break at all.
AnsiString WithCrLfBreaks(const AnsiString& text) {
    AnsiString result;
    result.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            result += "\r\n";
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

const std::vector<AnsiString>& ScrollStyleNames() {
    static const std::vector<AnsiString> names{"ssNone", "ssHorizontal", "ssVertical", "ssBoth"};
    return names;
}

TPropInfo DefaultTrue(TPropInfo info) {
    info.Default = 1;
    return info;
}

} // namespace

// ---- TMemoStrings

const TClassInfo& TMemoStrings::StaticClassInfo() {
    static const TClassInfo info{"TMemoStrings", &TStrings::StaticClassInfo()};
    return info;
}

void TMemoStrings::DefineProperties(TFiler& filer) {
    filer.DefineProperty(
        "Strings",
        [this](TReader& reader) {
            BeginUpdate();
            try {
                Clear();
                reader.ReadListBegin();
                while (!reader.EndOfList())
                    Add(reader.ReadString());
                reader.ReadListEnd();
            } catch (...) {
                EndUpdate();
                throw;
            }
            EndUpdate();
        },
        [this](TWriter& writer) {
            writer.WriteListBegin();
            for (int32_t i = 0; i < Count(); ++i)
                writer.WriteString(Strings(i));
            writer.WriteListEnd();
        },
        Count() > 0);
}

void TMemoStrings::Flush() const {
    if (pendingCount_ == 0)
        return;
    const AnsiString lines = std::exchange(pending_, AnsiString());
    pendingCount_ = 0;
    memo_.AppendLines(lines);
}

int32_t TMemoStrings::Count() const {
    Flush();
    return static_cast<int32_t>(LineSpans(memo_.GetText()).size());
}

AnsiString TMemoStrings::Strings(int32_t index) const {
    const AnsiString text = memo_.GetText();
    const auto spans = LineSpans(text);
    if (index < 0 || static_cast<size_t>(index) >= spans.size())
        RaiseListError("List index out of bounds (%d)", index);
    const LineSpan& span = spans[static_cast<size_t>(index)];
    return text.substr(span.Start, span.End - span.Start);
}

void TMemoStrings::SetStrings(int32_t index, const AnsiString& text) {
    const auto spans = LineSpans(memo_.GetText());
    if (index < 0 || static_cast<size_t>(index) >= spans.size())
        RaiseListError("List index out of bounds (%d)", index);
    const LineSpan& span = spans[static_cast<size_t>(index)];
    memo_.ReplaceRange(span.Start, span.End, WithCrLfBreaks(text));
}

void TMemoStrings::Clear() {
    memo_.SetText(AnsiString());
}

void TMemoStrings::Delete(int32_t index) {
    const auto spans = LineSpans(memo_.GetText());
    if (index < 0 || static_cast<size_t>(index) >= spans.size())
        RaiseListError("List index out of bounds (%d)", index);
    const LineSpan& span = spans[static_cast<size_t>(index)];
    if (span.Next > span.End || index == 0)
        memo_.ReplaceRange(span.Start, span.Next, AnsiString());
    else
        // The last line has no break of its own: the one before it goes with it.
        memo_.ReplaceRange(spans[static_cast<size_t>(index) - 1].End, span.End, AnsiString());
}

void TMemoStrings::Insert(int32_t index, const AnsiString& text) {
    const auto spans = LineSpans(memo_.GetText());
    if (index < 0 || static_cast<size_t>(index) > spans.size())
        RaiseListError("List index out of bounds (%d)", index);
    if (static_cast<size_t>(index) == spans.size()) {
        memo_.AppendLines(WithCrLfBreaks(text));
        return;
    }
    const size_t start = spans[static_cast<size_t>(index)].Start;
    memo_.ReplaceRange(start, start, WithCrLfBreaks(text) + "\r\n");
}

int32_t TMemoStrings::Add(const AnsiString& text) {
    // Within an update bracket the window hears of added lines once, when the bracket closes:
    // a report of hundreds of lines costs one replacement, not one per line.
    if (UpdateCount() > 0 && memo_.HandleAllocated()) {
        if (pendingCount_ == 0)
            pendingBase_ = static_cast<int32_t>(LineSpans(memo_.GetText()).size());
        else
            pending_ += "\r\n";
        pending_ += WithCrLfBreaks(text);
        return pendingBase_ + pendingCount_++;
    }
    const int32_t index = Count();
    memo_.AppendLines(WithCrLfBreaks(text));
    return index;
}

AnsiString TMemoStrings::Text() const {
    const AnsiString text = memo_.GetText();
    AnsiString result;
    result.reserve(text.size() + 2);
    for (const LineSpan& span : LineSpans(text)) {
        result.append(text, span.Start, span.End - span.Start);
        result += "\r\n";
    }
    return result;
}

void TMemoStrings::SetText(const AnsiString& text) {
    memo_.SetText(WithCrLfBreaks(text));
}

void TMemoStrings::SetUpdateState(bool updating) {
    if (!memo_.HandleAllocated())
        return;
    HWND window = memo_.HandleIfAllocated();
    if (updating) {
        ::SendMessageA(window, WM_SETREDRAW, FALSE, 0);
        return;
    }
    Flush();
    ::SendMessageA(window, WM_SETREDRAW, TRUE, 0);
    ::RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

// ---- TMemo

const TClassInfo& TMemo::StaticClassInfo() {
    using C = TMemo;
    static const TClassInfo info{
        "TMemo",
        &TWinControl::StaticClassInfo(),
        {
            ObjectProperty<C>("Lines", &C::LinesObject),
            BooleanProperty<C>("ReadOnly", &C::ReadOnly, &C::SetReadOnly),
            DefaultTrue(BooleanProperty<C>("WordWrap", &C::WordWrap, &C::SetWordWrap)),
            DefaultTrue(BooleanProperty<C>("WantReturns", &C::WantReturns, &C::SetWantReturns)),
            EnumProperty<C, TScrollStyle>("ScrollBars", &C::ScrollBars, &C::SetScrollBars,
                                          ScrollStyleNames()),
            EnumProperty<C, TBorderStyle>("BorderStyle", &C::BorderStyle, &C::SetBorderStyle,
                                          {"bsNone", "bsSingle"}),
        },
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TMemo(owner); },
    };
    return info;
}

TMemo::TMemo(TComponent* owner) : TWinControl(owner), lines_(std::make_unique<TMemoStrings>(*this)) {
    SetColorQuietly(clWindow);
    SetBounds(0, 0, 185, 89);
}

TMemo::~TMemo() {
    // Lines flushed into a dying window would be lost anyway; the window goes first.
    lines_->pending_.clear();
    lines_->pendingCount_ = 0;
}

void TMemo::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    CreateSubClass(params, "EDIT");
    // The text follows once the length limit is lifted.
    params.Caption.clear();
    params.Style |= WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL;
    if (readOnly_)
        params.Style |= ES_READONLY;
    if (wantReturns_)
        params.Style |= ES_WANTRETURN;
    if (!wordWrap_)
        params.Style |= ES_AUTOHSCROLL;
    if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth)
        params.Style |= WS_HSCROLL;
    if (scrollBars_ == ssVertical || scrollBars_ == ssBoth)
        params.Style |= WS_VSCROLL;
    if (borderStyle_ == bsSingle)
        params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TMemo::CreateWnd() {
    TWinControl::CreateWnd();
    HWND window = HandleIfAllocated();
    // Zero lifts the limit as far as the system allows (the default is some 32,000 characters).
    ::SendMessageA(window, EM_SETLIMITTEXT, 0, 0);
    ::SetWindowTextA(window, text_.c_str());
    ::SendMessageA(window, EM_SETSEL, static_cast<WPARAM>(selStart_),
                   static_cast<LPARAM>(selStart_ + selLength_));
}

void TMemo::DestroyWnd() {
    if (HandleAllocated()) {
        lines_->Flush();
        selStart_ = SelStart();
        selLength_ = SelLength();
    }
    TWinControl::DestroyWnd();
}

AnsiString TMemo::GetText() const {
    lines_->Flush();
    return TWinControl::GetText();
}

void TMemo::SetText(const AnsiString& text) {
    // The new text replaces the lines that were still on their way.
    lines_->pending_.clear();
    lines_->pendingCount_ = 0;
    TWinControl::SetText(text);
}

void TMemo::ReplaceRange(size_t start, size_t end, const AnsiString& text) {
    if (!HandleAllocated()) {
        text_.replace(start, end - start, text);
        return;
    }
    HWND window = HandleIfAllocated();
    ::SendMessageA(window, EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
    ::SendMessageA(window, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

void TMemo::AppendLines(const AnsiString& lines) {
    if (!HandleAllocated()) {
        if (!text_.empty() && text_.back() != '\n' && text_.back() != '\r')
            text_ += "\r\n";
        text_ += lines;
        return;
    }
    // The end of the text and whether it ends with a line break, without reading it all: the
    // last line of the window starts at the very end exactly when the text ends with a break.
    HWND window = HandleIfAllocated();
    const auto length = static_cast<size_t>(::GetWindowTextLengthA(window));
    const LRESULT lastLine = ::SendMessageA(window, EM_GETLINECOUNT, 0, 0) - 1;
    const auto lastLineStart = static_cast<size_t>(::SendMessageA(window, EM_LINEINDEX, lastLine, 0));
    ReplaceRange(length, length, length == 0 || lastLineStart == length ? lines : "\r\n" + lines);
}

HBRUSH TMemo::ColorBrush() {
    if (!brush_ || brushColor_ != Color()) {
        brush_.reset(::CreateSolidBrush(ColorToRGB(Color())));
        brushColor_ = Color();
    }
    return brush_.get();
}

void TMemo::SetReadOnly(bool value) {
    readOnly_ = value;
    if (HandleAllocated())
        ::SendMessageA(HandleIfAllocated(), EM_SETREADONLY, value ? TRUE : FALSE, 0);
}

void TMemo::SetWordWrap(bool value) {
    if (value == wordWrap_)
        return;
    wordWrap_ = value;
    // The edit window decides about wrapping only when it is made.
    RecreateWnd();
}

void TMemo::SetWantReturns(bool value) {
    wantReturns_ = value;
    if (!HandleAllocated())
        return;
    const LONG_PTR style = ::GetWindowLongPtrA(HandleIfAllocated(), GWL_STYLE);
    ::SetWindowLongPtrA(HandleIfAllocated(), GWL_STYLE,
                        value ? style | ES_WANTRETURN : style & ~static_cast<LONG_PTR>(ES_WANTRETURN));
}

void TMemo::SetScrollBars(TScrollStyle value) {
    if (value == scrollBars_)
        return;
    scrollBars_ = value;
    RecreateWnd();
}

void TMemo::SetBorderStyle(TBorderStyle value) {
    value = value == bsNone ? bsNone : bsSingle;
    if (value == borderStyle_)
        return;
    borderStyle_ = value;
    RecreateWnd();
}

int32_t TMemo::SelStart() const {
    if (!HandleAllocated())
        return selStart_;
    DWORD start = 0, end = 0;
    ::SendMessageA(HandleIfAllocated(), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
    return static_cast<int32_t>(start);
}

int32_t TMemo::SelLength() const {
    if (!HandleAllocated())
        return selLength_;
    DWORD start = 0, end = 0;
    ::SendMessageA(HandleIfAllocated(), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
    return static_cast<int32_t>(end - start);
}

void TMemo::SetSelStart(int32_t value) {
    selStart_ = std::max(value, 0);
    selLength_ = 0;
    if (HandleAllocated())
        ::SendMessageA(HandleIfAllocated(), EM_SETSEL, static_cast<WPARAM>(selStart_),
                       static_cast<LPARAM>(selStart_));
}

void TMemo::SetSelLength(int32_t value) {
    const int32_t start = SelStart();
    selStart_ = start;
    selLength_ = std::max(value, 0);
    if (HandleAllocated())
        ::SendMessageA(HandleIfAllocated(), EM_SETSEL, static_cast<WPARAM>(start),
                       static_cast<LPARAM>(start + selLength_));
}

bool TMemo::WantsKey(WORD key) const {
    return key == VK_RETURN && wantReturns_;
}

void TMemo::WndProc(TMessage& message) {
    switch (message.Msg) {
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORSTATIC: {
        // A read-only edit asks as a static: both take the memo's colours.
        if (!Enabled())
            break;
        const auto dc = reinterpret_cast<HDC>(message.WParam);
        ::SetTextColor(dc, ColorToRGB(Font().Color()));
        ::SetBkColor(dc, ColorToRGB(Color()));
        message.Result = reinterpret_cast<LRESULT>(ColorBrush());
        return;
    }
    case WM_CHAR:
        // Enter already went to the form as a dialog key; its character must not break the line.
        if (message.WParam == '\r' && !wantReturns_) {
            message.Result = 0;
            return;
        }
        break;
    default:
        break;
    }
    TWinControl::WndProc(message);
}
