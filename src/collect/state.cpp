#include "collect/state.h"

namespace lirvo::collect {

CollectionState& State() {
  static CollectionState state;
  return state;
}

void ExitRoutine() {
  CollectionState& state = State();
  for (Text* text :
       {&state.categoryPath, &state.entrySerial, &state.entryAuthor, &state.entryIntroduction,
        &state.coverUrl, &state.downloadPageUrl, &state.archiveSizeText}) {
    if (!text->empty()) Text().swap(*text);
  }
}

}  // namespace lirvo::collect
