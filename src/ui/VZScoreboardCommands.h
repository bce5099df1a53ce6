#pragma once

// What the main window's Scoreboard menu and idle heartbeat ask of the scoreboard manager. The
// application hands the main window an implementation while a manager exists; without one the
// scoreboard items stay disabled. Initialize and Refresh do not pass through here: they are the
// application events 10163 and 10164, which work from any window.

class EventRecord;

class VZScoreboardCommands {
public:
    virtual ~VZScoreboardCommands() = default;

    virtual bool ShowsTimeOfDay() const = 0;
    virtual void SetShowTimeOfDay(bool on) = 0;
    virtual bool Uses24Hour() const = 0;
    virtual void SetUse24Hour(bool on) = 0;

    /// False while there is no message dialog to open (the Edit message item is then disabled).
    virtual bool CanEditMessage() const { return false; }
    virtual void EditMessage() {}
    virtual void SendMessage() = 0;

    /// Whether an event is attached; the heartbeat attaches the sources' event when none is.
    virtual bool HasEvent() const = 0;
    virtual void AttachEvent(EventRecord& event) = 0;
};
