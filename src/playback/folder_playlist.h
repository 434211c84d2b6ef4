#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

// The audio files beside a loaded one, in the order the playlist shows them.
namespace folder_playlist {

// Orders names code point by code point, treating canonically equivalent names as equal:
// no case folding, no locale rules, no numeric runs ("10.mp3" sorts before "2.mp3").
void sortByName(QStringList &names);

// The direct entries of the folder holding fileUrl whose lower-cased extension is an audio
// one (hidden entries included, folders too if so named), sorted by name. nullopt when the
// folder cannot be listed.
std::optional<QList<QUrl>> audioEntriesBeside(const QUrl &fileUrl);

} // namespace folder_playlist
