#!/usr/bin/python3
"""Checks Home Assistant MQTT discovery configs as Home Assistant reads them.

Usage: ha_schema.py CONFIGS [STATES]
CONFIGS and STATES are `mosquitto_sub -v` output, one "TOPIC PAYLOAD" a line:
the retained discovery configs, and the states their templates read.

Transcribed from Home Assistant's MQTT integration (homeassistant/components/
mqtt): the discovery topic's pattern (discovery.py); the availability, device
and origin schemas and the entity's common keys (schemas.py, formerly
mixins.py); MQTT_BASE/RO/RW_SCHEMA (config.py); the platform schemas of
climate.py, sensor.py (with its options/unit check), binary_sensor.py,
select.py, number.py (with its min < max check), button.py and event.py; the validators they use
from helpers/config_validation.py (string, template, positive_int,
ensure_list, temperature_unit, entity categories) and mqtt/util.py (topics,
qos). Keys only YAML takes, and climate keys for fans, swing, presets,
humidity and temperature ranges, are left out; so are the device classes
this bridge does not use (sensor: temperature, duration, timestamp and enum
only, with their units and state classes; binary_sensor: the full list).

Two things are stricter than Home Assistant, on purpose: a key the schema
does not know is an error here (Home Assistant drops it without a word, so a
misspelt key would be lost unseen), and each value template is rendered with
the states given, and must give what its entity takes (a number, an option,
a payload, a text for a sensor with no unit or class, or None, Home Assistant's word for a value not known) - an empty
rendering is a fault there.
"""

import datetime
import json
import re
import sys

import jinja2
import voluptuous as vol

# --- helpers/config_validation.py and mqtt/util.py --------------------------


def string(value):
    if value is None:
        raise vol.Invalid("string value is None")
    if isinstance(value, (list, dict)):
        raise vol.Invalid("value should be a string")
    return str(value)


_jinja = jinja2.Environment()


def template(value):
    if value is None:
        raise vol.Invalid("template value is None")
    if isinstance(value, (list, dict)):
        raise vol.Invalid("template value should be a string")
    try:
        _jinja.parse(str(value))
    except jinja2.TemplateSyntaxError as err:
        raise vol.Invalid(f"invalid template ({err})") from err
    return str(value)


def ensure_list(value):
    if value is None:
        return []
    return value if isinstance(value, list) else [value]


positive_int = vol.All(vol.Coerce(int), vol.Range(min=0))


def temperature_unit(value):
    value = str(value).upper()
    if value in ("C", "F"):
        return value
    raise vol.Invalid("invalid temperature unit (expected C or F)")


ENTITY_CATEGORIES = vol.In(["config", "diagnostic"])


def valid_topic(value):
    value = string(value)
    raw = value.encode("utf-8")
    if not raw:
        raise vol.Invalid("MQTT topic name/filter must not be empty.")
    if len(raw) > 65535:
        raise vol.Invalid("MQTT topic name/filter must not be longer than 65535 encoded bytes.")
    for char in value:
        if char == "\0":
            raise vol.Invalid("MQTT topic name/filter must not contain null character.")
        if char <= "\u001f" or "\u007f" <= char <= "\u009f":
            raise vol.Invalid("MQTT topic name/filter must not contain control characters.")
        if "\ufdd0" <= char <= "\ufdef" or (ord(char) & 0xFFFF) in (0xFFFE, 0xFFFF):
            raise vol.Invalid("MQTT topic name/filter must not contain non-characters.")
    return value


def valid_subscribe_topic(value):
    value = valid_topic(value)
    for i in (i for i, c in enumerate(value) if c == "+"):
        if (i > 0 and value[i - 1] != "/") or (i < len(value) - 1 and value[i + 1] != "/"):
            raise vol.Invalid("Single-level wildcard must occupy an entire level of the filter")
    index = value.find("#")
    if index != -1:
        if index != len(value) - 1:
            raise vol.Invalid("Multi-level wildcard must be the last character in the topic filter.")
        if len(value) > 1 and value[index - 1] != "/":
            raise vol.Invalid("Multi-level wildcard must be after a topic level separator.")
    return value


def valid_publish_topic(value):
    value = valid_topic(value)
    if "+" in value or "#" in value:
        raise vol.Invalid("Wildcards cannot be used in topic names")
    return value


valid_qos_schema = vol.All(vol.Coerce(int), vol.In([0, 1, 2]))

# --- schemas.py ---------------------------------------------------------------


def configuration_url(value):
    value = string(value)
    scheme = value.split(":", 1)[0] if ":" in value else ""
    if scheme not in ("http", "https", "homeassistant") or not re.match(r"[a-z]+://[^/\s]+", value):
        raise vol.Invalid("invalid url")
    return value


def device_has_identifier(value):
    if value.get("identifiers") or value.get("connections"):
        return value
    raise vol.Invalid("Device must have at least one identifying value in 'identifiers' and/or 'connections'")


DEVICE = vol.All(
    vol.Schema(
        {
            vol.Optional("identifiers", default=list): vol.All(ensure_list, [string]),
            vol.Optional("connections", default=list): vol.All(ensure_list, [vol.All(vol.Length(2), [string])]),
            vol.Optional("manufacturer"): string,
            vol.Optional("model"): string,
            vol.Optional("model_id"): string,
            vol.Optional("name"): string,
            vol.Optional("hw_version"): string,
            vol.Optional("serial_number"): string,
            vol.Optional("sw_version"): string,
            vol.Optional("via_device"): string,
            vol.Optional("suggested_area"): string,
            vol.Optional("configuration_url"): configuration_url,
        }
    ),
    device_has_identifier,
)

ORIGIN = vol.Schema(
    {
        vol.Required("name"): string,
        vol.Optional("sw_version"): string,
        vol.Optional("support_url"): string,
    }
)

AVAILABILITY = {
    vol.Exclusive("availability_topic", "availability"): valid_subscribe_topic,
    vol.Optional("availability_template"): template,
    vol.Optional("payload_available", default="online"): string,
    vol.Optional("payload_not_available", default="offline"): string,
    vol.Optional("availability_mode", default="latest"): vol.All(string, vol.In(["all", "any", "latest"])),
    vol.Exclusive("availability", "availability"): vol.All(
        ensure_list,
        [
            {
                vol.Required("topic"): valid_subscribe_topic,
                vol.Optional("payload_available", default="online"): string,
                vol.Optional("payload_not_available", default="offline"): string,
                vol.Optional("value_template"): template,
            }
        ],
    ),
}

ENTITY_COMMON = dict(AVAILABILITY)
ENTITY_COMMON.update(
    {
        vol.Optional("device"): DEVICE,
        vol.Optional("origin"): ORIGIN,
        vol.Optional("enabled_by_default", default=True): bool,
        vol.Optional("entity_category"): ENTITY_CATEGORIES,
        vol.Optional("icon"): string,
        vol.Optional("json_attributes_topic"): valid_subscribe_topic,
        vol.Optional("json_attributes_template"): template,
        vol.Optional("object_id"): string,
        vol.Optional("unique_id"): string,
    }
)

# --- config.py ----------------------------------------------------------------

BASE = {
    vol.Optional("qos", default=0): valid_qos_schema,
    vol.Optional("encoding", default="utf-8"): string,
}
RO = {
    **BASE,
    vol.Required("state_topic"): valid_subscribe_topic,
    vol.Optional("value_template"): template,
}
RW = {
    **BASE,
    vol.Required("command_topic"): valid_publish_topic,
    vol.Optional("optimistic", default=False): bool,
    vol.Optional("retain", default=False): bool,
    vol.Optional("state_topic"): valid_subscribe_topic,
}


def platform(*parts, check=None):
    keys = {}
    for p in parts:
        keys.update(p)
    schema = vol.Schema(keys, extra=vol.PREVENT_EXTRA)
    return vol.All(schema, check) if check else schema


# --- climate.py ---------------------------------------------------------------

CLIMATE = platform(
    BASE,
    {
        vol.Optional("action_template"): template,
        vol.Optional("action_topic"): valid_subscribe_topic,
        vol.Optional("current_temperature_template"): template,
        vol.Optional("current_temperature_topic"): valid_subscribe_topic,
        vol.Optional("mode_command_template"): template,
        vol.Optional("mode_command_topic"): valid_publish_topic,
        vol.Optional("modes", default=["auto", "off", "cool", "heat", "dry", "fan_only"]): ensure_list,
        vol.Optional("mode_state_template"): template,
        vol.Optional("mode_state_topic"): valid_subscribe_topic,
        vol.Optional("name"): vol.Any(string, None),
        vol.Optional("optimistic", default=False): bool,
        vol.Optional("precision"): vol.All(vol.Coerce(float), vol.In([0.1, 0.5, 1.0])),
        vol.Optional("retain", default=False): bool,
        vol.Optional("min_temp"): vol.Coerce(float),
        vol.Optional("max_temp"): vol.Coerce(float),
        vol.Optional("temp_step", default=1.0): vol.Coerce(float),
        vol.Optional("temperature_command_template"): template,
        vol.Optional("temperature_command_topic"): valid_publish_topic,
        vol.Optional("temperature_state_template"): template,
        vol.Optional("temperature_state_topic"): valid_subscribe_topic,
        vol.Optional("temperature_unit"): temperature_unit,
        vol.Optional("value_template"): template,
    },
    ENTITY_COMMON,
)
HVAC_MODES = ["off", "heat", "cool", "heat_cool", "auto", "dry", "fan_only"]
HVAC_ACTIONS = ["cooling", "defrosting", "drying", "fan", "heating", "idle", "off", "preheating"]

# --- sensor.py ----------------------------------------------------------------

SENSOR_DEVICE_CLASSES = ["duration", "enum", "temperature", "timestamp"]
DEVICE_CLASS_UNITS = {"duration": ["d", "h", "min", "s", "ms", "µs"], "temperature": ["°C", "°F", "K"]}
DEVICE_CLASS_STATE_CLASSES = {
    "duration": ["measurement", "total", "total_increasing"],
    "temperature": ["measurement"],
}
STATE_CLASSES = ["measurement", "measurement_angle", "total", "total_increasing"]


def sensor_options_and_units(config):
    if "last_reset_value_template" in config and config.get("state_class") != "total":
        raise vol.Invalid("last_reset_value_template takes state class total")
    options = config.get("options")
    if options is not None:
        if not options:
            raise vol.Invalid("An empty options list is not allowed")
        if config.get("state_class") or config.get("unit_of_measurement"):
            raise vol.Invalid("options is not allowed together with state_class or unit_of_measurement")
        if config.get("device_class") != "enum":
            raise vol.Invalid("options must be used together with device class enum")
    device_class, unit = config.get("device_class"), config.get("unit_of_measurement")
    if device_class in ("enum", "timestamp") and (unit is not None or config.get("state_class")):
        raise vol.Invalid(f"device class {device_class!r} takes neither unit nor state class")
    if device_class in DEVICE_CLASS_UNITS and unit is not None and unit not in DEVICE_CLASS_UNITS[device_class]:
        raise vol.Invalid(f"unit {unit!r} is not valid together with device class {device_class!r}")
    state_class = config.get("state_class")
    if device_class in DEVICE_CLASS_STATE_CLASSES and state_class and state_class not in DEVICE_CLASS_STATE_CLASSES[device_class]:
        raise vol.Invalid(f"state class {state_class!r} is not valid together with device class {device_class!r}")
    return config


SENSOR = platform(
    RO,
    {
        vol.Optional("device_class"): vol.Any(vol.In(SENSOR_DEVICE_CLASSES), None),
        vol.Optional("expire_after"): positive_int,
        vol.Optional("force_update", default=False): bool,
        vol.Optional("last_reset_value_template"): template,
        vol.Optional("name"): vol.Any(string, None),
        vol.Optional("options"): ensure_list,
        vol.Optional("suggested_display_precision"): positive_int,
        vol.Optional("state_class"): vol.Any(vol.In(STATE_CLASSES), None),
        vol.Optional("unit_of_measurement"): vol.Any(string, None),
    },
    ENTITY_COMMON,
    check=sensor_options_and_units,
)

# --- binary_sensor.py -------------------------------------------------------

BINARY_SENSOR_DEVICE_CLASSES = [
    "battery", "battery_charging", "carbon_monoxide", "cold", "connectivity", "door", "garage_door",
    "gas", "heat", "light", "lock", "moisture", "motion", "moving", "occupancy", "opening", "plug",
    "power", "presence", "problem", "running", "safety", "smoke", "sound", "tamper", "update",
    "vibration", "window",
]
BINARY_SENSOR = platform(
    RO,
    {
        vol.Optional("device_class"): vol.Any(vol.In(BINARY_SENSOR_DEVICE_CLASSES), None),
        vol.Optional("expire_after"): positive_int,
        vol.Optional("force_update", default=False): bool,
        vol.Optional("name"): vol.Any(string, None),
        vol.Optional("off_delay"): positive_int,
        vol.Optional("payload_off", default="OFF"): string,
        vol.Optional("payload_on", default="ON"): string,
    },
    ENTITY_COMMON,
)

# --- select.py ----------------------------------------------------------------

SELECT = platform(
    RW,
    {
        vol.Optional("command_template"): template,
        vol.Optional("name"): vol.Any(string, None),
        vol.Required("options"): ensure_list,
        vol.Optional("value_template"): template,
    },
    ENTITY_COMMON,
)

# --- number.py ----------------------------------------------------------------


def number_min_below_max(config):
    if config["min"] >= config["max"]:
        raise vol.Invalid("'max' must be > 'min'")
    return config


NUMBER = platform(
    RW,
    {
        vol.Optional("command_template"): template,
        vol.Optional("device_class"): vol.Any(string, None),
        vol.Optional("max", default=100.0): vol.Coerce(float),
        vol.Optional("min", default=1.0): vol.Coerce(float),
        vol.Optional("mode", default="auto"): vol.In(["auto", "box", "slider"]),
        vol.Optional("name"): vol.Any(string, None),
        vol.Optional("payload_reset", default="None"): string,
        vol.Optional("step", default=1.0): vol.All(vol.Coerce(float), vol.Range(min=1e-3)),
        vol.Optional("unit_of_measurement"): vol.Any(string, None),
        vol.Optional("value_template"): template,
    },
    ENTITY_COMMON,
    check=number_min_below_max,
)

# --- button.py ----------------------------------------------------------------

BUTTON = platform(
    BASE,
    {
        vol.Optional("command_template"): template,
        vol.Required("command_topic"): valid_publish_topic,
        vol.Optional("device_class"): vol.Any(vol.In(["identify", "restart", "update"]), None),
        vol.Optional("name"): vol.Any(string, None),
        vol.Optional("payload_press", default="PRESS"): string,
        vol.Optional("retain", default=False): bool,
    },
    ENTITY_COMMON,
)

# --- event.py -----------------------------------------------------------------

EVENT = platform(
    RO,
    {
        vol.Optional("device_class"): vol.Any(vol.In(["button", "doorbell", "motion"]), None),
        vol.Required("event_types"): vol.All(ensure_list, [string], vol.Length(min=1)),
        vol.Optional("name"): vol.Any(string, None),
    },
    ENTITY_COMMON,
)

PLATFORMS = {
    "climate": CLIMATE,
    "sensor": SENSOR,
    "binary_sensor": BINARY_SENSOR,
    "select": SELECT,
    "number": NUMBER,
    "button": BUTTON,
    "event": EVENT,
}

# discovery.py: PREFIX/COMPONENT/[NODE_ID/]OBJECT_ID/config
TOPIC = re.compile(r"homeassistant/(?P<component>\w+)/(?:(?P<node_id>[a-zA-Z0-9_-]+)/)?(?P<object_id>[a-zA-Z0-9_-]+)/config")

# --- the templates' renderings ----------------------------------------------


def number_or_none(text):
    if text == "None":
        return
    float(text)


def renders(config, platform_name):
    """(template key, state topic key, check of the rendering) per value template."""
    if platform_name == "climate":
        def option(allowed):
            def check(text):
                if text != "None" and text not in allowed:
                    raise ValueError(f"not one of {allowed}")
            return check
        return [
            ("current_temperature_template", "current_temperature_topic", number_or_none),
            ("temperature_state_template", "temperature_state_topic", number_or_none),
            ("mode_state_template", "mode_state_topic", option(config.get("modes", HVAC_MODES))),
            ("action_template", "action_topic", option(HVAC_ACTIONS)),
        ]
    if platform_name == "sensor" and config.get("device_class") == "timestamp":
        def timestamp(text):
            if text != "None" and datetime.datetime.fromisoformat(text).tzinfo is None:
                raise ValueError("a timestamp without its offset")
        return [("value_template", "state_topic", timestamp)]
    if platform_name == "sensor" and config.get("device_class") == "enum":
        def member(text):
            if text != "None" and text not in config["options"]:
                raise ValueError("not one of the options")
        return [("value_template", "state_topic", member)]
    if platform_name == "event":
        def event(text):
            if json.loads(text).get("event_type") not in config["event_types"]:
                raise ValueError("no event_type among event_types")
        return [("value_template", "state_topic", event)]
    numeric = platform_name == "number" or any(
        key in config for key in ("device_class", "state_class", "unit_of_measurement"))
    if platform_name in ("sensor", "number") and numeric:
        return [("value_template", "state_topic", number_or_none)]
    if platform_name == "sensor":
        def text(value):
            if len(value) > 255:
                raise ValueError("a state over 255 characters")
        return [("value_template", "state_topic", text)]
    if platform_name == "binary_sensor":
        def payload(text):
            if text not in ("None", config.get("payload_on", "ON"), config.get("payload_off", "OFF")):
                raise ValueError("neither payload_on nor payload_off")
        return [("value_template", "state_topic", payload)]
    if platform_name == "select":
        def option(text):
            if text != "None" and text not in config["options"]:
                raise ValueError("not one of the options")
        return [("value_template", "state_topic", option)]
    return []


def read_lines(path):
    out = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if " " in line:
                topic, payload = line.split(" ", 1)
                out[topic] = payload  # the latest
    return out


def main(argv):
    configs = read_lines(argv[1])
    states = read_lines(argv[2]) if len(argv) > 2 else {}
    faults, checked, rendered = [], 0, 0
    unique_ids = {}
    for topic, payload in sorted(configs.items()):
        match = TOPIC.fullmatch(topic)
        if not match:
            faults.append(f"{topic}: not a discovery topic")
            continue
        component = match.group("component")
        if component not in PLATFORMS:
            faults.append(f"{topic}: no schema for {component} here")
            continue
        try:
            config = json.loads(payload)
            if not isinstance(config, dict):
                raise vol.Invalid("the payload is no JSON object")
            config = PLATFORMS[component](config)
        except (ValueError, vol.Invalid) as err:
            faults.append(f"{topic}: {err}")
            continue
        checked += 1
        uid = config.get("unique_id")
        if uid in unique_ids:
            faults.append(f"{topic}: unique_id {uid} is also {unique_ids[uid]}'s")
        unique_ids[uid] = topic
        for key, topic_key, check in renders(config, component):
            if key not in config or config.get(topic_key) not in states:
                continue
            try:
                value_json = json.loads(states[config[topic_key]])
                text = _jinja.from_string(config[key]).render(value_json=value_json).strip()
                check(text)
                rendered += 1
            except Exception as err:  # noqa: BLE001 - every fault is told the same way
                faults.append(f"{topic}: {key} rendered from {config[topic_key]}: {err}")
    for f in faults:
        print(f)
    print(f"{checked} configs valid, {rendered} templates rendered, {len(faults)} faults")
    return 1 if faults or not checked else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
