// Parameter hints: while a call's arguments are typed, the member before its "(" or "[" as the
// completion pop-up lists it, found by the same resolution of the dotted name on its left.
#pragma once

#include <string>
#include <string_view>

#include "completion/completion.h"

namespace zeph::completion {

// The innermost "(" or "[" left of 1-based column `caret` that is not closed before it (text in
// double quotes skipped), as a 1-based column; 0 for none.
int OpenCallColumn(std::string_view line, int caret);

// The hint for the call open at `caret`: "Name(params): Type;" as the pop-up's entry shows the
// member, or empty when no member of the description goes by the name before the bracket.
// Throws when the description cannot be loaded.
std::string ParameterHint(std::string_view line, int caret, IDescriptionSource& source,
                          const ITextMeasure& measure);

// The hint of one editor over its life: a typed bracket opens it, it follows the caret, and it
// closes when the caret leaves the call. The description is read once when a hint opens and
// kept until it closes: the hint is worked out at every key stroke, and reading and parsing the
// file each time makes typing lag behind.
class ParameterHints {
  public:
    ParameterHints(IDescriptionSource& source, const ITextMeasure& measure)
        : held_(source), measure_(measure) {}

    // After an edit of the caret line (`caret` its 1-based column): a bracket just typed opens
    // a hint, an open one follows. The hint to show; empty when there is none (it is closed).
    std::string AfterEdit(std::string_view line, int caret);
    // After the caret moved: an open hint follows the call the caret is in.
    std::string AfterCaretMove(std::string_view line, int caret);
    void Close();
    bool Open() const { return open_; }

  private:
    // The description as first loaded since the hint opened.
    class HeldDescription final : public IDescriptionSource {
      public:
        explicit HeldDescription(IDescriptionSource& source) : source_(source) {}
        xml::XmlRef<xml::IXmlDocument> LoadDescription() override;
        void Release() { document_ = {}; }

      private:
        IDescriptionSource& source_;
        xml::XmlRef<xml::IXmlDocument> document_;
    };

    std::string Refresh(std::string_view line, int caret);

    HeldDescription held_;
    const ITextMeasure& measure_;
    bool open_ = false;
};

}  // namespace zeph::completion
