#pragma once
// The help topics: their texts, kept as resources and looked up by topic
// number (100 to 800), and the topic menu of the help window.
#include <QString>

// The text of topic `number`, lines ended by "\n"; empty for an unknown number.
QString HelpTopicText(int number);

struct HelpMenuItem {
    const char* caption; // empty for a separator
    int topicNumber;     // 0 for a separator and for "Exit this Menu"
};

// The topic menu in order, index 1 first.
constexpr int HelpMenuItemCount = 10;
const HelpMenuItem& HelpMenuItemAt(int index); // 1..HelpMenuItemCount

// The topic the help window opens on; whoever opens it sets this first.
extern qint16 RequestedHelpTopic;
