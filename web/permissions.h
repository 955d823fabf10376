#pragma once

class QWebEnginePage;

// Answers every permission request of the page at once: web notifications
// are allowed (a visitor's message must reach the owner); camera,
// microphone, location and the rest are refused. Permissions belong to an
// origin, and the badge and its chat usually share one, so every page of
// the program answers alike.
void answerPermissionRequests(QWebEnginePage *page);
