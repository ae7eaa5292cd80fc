#!/usr/bin/python3
"""Builds Vimo's starter brain, data/brain.txt.

The brain starts with the hand-written small talk of brain_smalltalk.txt and
goes on with records generated from the fact tables below. The output is the
same bytes on every run: the tables are walked in their written order and the
few varied answer phrasings are chosen from a checksum of the question, never
from a random source.

Usage: /usr/bin/python3 data/make_brain.py [output path]

After writing, the result is verified with check_brain.py; a failed check
leaves the old brain in place and exits non-zero.
"""

import os
import sys
import zlib
from pathlib import Path

HERE = Path(__file__).resolve().parent
SMALLTALK_PATH = HERE / "brain_smalltalk.txt"
BRAIN_PATH = HERE / "brain.txt"


def stored(text):
    """The form in which the chat keeps typed text: lower case, commas as "|"."""
    return text.lower().replace(",", "|")


def vary(key, *phrasings):
    """Picks one phrasing for a record, stable across runs and machines."""
    return phrasings[zlib.crc32(key.encode("utf-8")) % len(phrasings)]


# ---------------------------------------------------------------------------
# Hand-written small talk


def read_smalltalk(path=SMALLTALK_PATH):
    """Returns [(line number, question, answer)] from the hand-written file.

    A question ending in "?" yields a second entry without it, on the same line
    number, because the lookup only matches the whole typed text.
    """
    entries = []
    with open(path, encoding="utf-8") as source:
        for number, line in enumerate(source, start=1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            if line.count("\t") != 1:
                raise ValueError(f"{path}:{number}: expected question<TAB>answer")
            question, answer = (part.strip() for part in line.split("\t"))
            if not question or not answer:
                raise ValueError(f"{path}:{number}: empty question or answer")
            entries.append((number, question, answer))
            if question.endswith("?") and len(question) > 1:
                entries.append((number, question[:-1].rstrip(), answer))
    return entries


# ---------------------------------------------------------------------------
# Countries: (name, capital, continent or None when the country spans two,
# whether "i vilket land ligger <capital>" has one clear answer)

COUNTRIES = [
    ("sverige", "stockholm", "europa", True),
    ("norge", "oslo", "europa", True),
    ("danmark", "köpenhamn", "europa", True),
    ("finland", "helsingfors", "europa", True),
    ("island", "reykjavik", "europa", True),
    ("estland", "tallinn", "europa", True),
    ("lettland", "riga", "europa", True),
    ("litauen", "vilnius", "europa", True),
    ("polen", "warszawa", "europa", True),
    ("tyskland", "berlin", "europa", True),
    ("frankrike", "paris", "europa", True),
    ("spanien", "madrid", "europa", True),
    ("portugal", "lissabon", "europa", True),
    ("italien", "rom", "europa", True),
    ("grekland", "aten", "europa", True),
    ("storbritannien", "london", "europa", True),
    ("england", "london", "europa", False),
    ("skottland", "edinburgh", "europa", True),
    ("irland", "dublin", "europa", True),
    ("belgien", "bryssel", "europa", True),
    ("nederländerna", "amsterdam", "europa", True),
    ("luxemburg", "luxemburg", "europa", False),
    ("schweiz", "bern", "europa", True),
    ("österrike", "wien", "europa", True),
    ("tjeckien", "prag", "europa", True),
    ("slovakien", "bratislava", "europa", True),
    ("ungern", "budapest", "europa", True),
    ("rumänien", "bukarest", "europa", True),
    ("bulgarien", "sofia", "europa", True),
    ("serbien", "belgrad", "europa", True),
    ("kroatien", "zagreb", "europa", True),
    ("slovenien", "ljubljana", "europa", True),
    ("bosnien och hercegovina", "sarajevo", "europa", True),
    ("montenegro", "podgorica", "europa", True),
    ("nordmakedonien", "skopje", "europa", True),
    ("albanien", "tirana", "europa", True),
    ("moldavien", "chisinau", "europa", True),
    ("ukraina", "kyiv", "europa", True),
    ("belarus", "minsk", "europa", True),
    ("ryssland", "moskva", None, True),
    ("malta", "valletta", "europa", True),
    ("cypern", "nicosia", None, True),
    ("andorra", "andorra la vella", "europa", False),
    ("monaco", "monaco", "europa", False),
    ("liechtenstein", "vaduz", "europa", True),
    ("san marino", "san marino", "europa", False),
    ("turkiet", "ankara", None, True),
    ("georgien", "tbilisi", None, True),
    ("armenien", "jerevan", None, True),
    ("azerbajdzjan", "baku", None, True),
    ("kina", "peking", "asien", True),
    ("japan", "tokyo", "asien", True),
    ("sydkorea", "seoul", "asien", True),
    ("nordkorea", "pyongyang", "asien", True),
    ("mongoliet", "ulan bator", "asien", True),
    ("indien", "new delhi", "asien", True),
    ("pakistan", "islamabad", "asien", True),
    ("bangladesh", "dhaka", "asien", True),
    ("nepal", "katmandu", "asien", True),
    ("bhutan", "thimphu", "asien", True),
    ("afghanistan", "kabul", "asien", True),
    ("iran", "teheran", "asien", True),
    ("irak", "bagdad", "asien", True),
    ("syrien", "damaskus", "asien", True),
    ("libanon", "beirut", "asien", True),
    ("jordanien", "amman", "asien", True),
    ("saudiarabien", "riyadh", "asien", True),
    ("oman", "muskat", "asien", True),
    ("förenade arabemiraten", "abu dhabi", "asien", True),
    ("qatar", "doha", "asien", True),
    ("thailand", "bangkok", "asien", True),
    ("vietnam", "hanoi", "asien", True),
    ("laos", "vientiane", "asien", True),
    ("kambodja", "phnom penh", "asien", True),
    ("myanmar", "naypyidaw", "asien", True),
    ("malaysia", "kuala lumpur", "asien", True),
    ("singapore", "singapore", "asien", False),
    ("filippinerna", "manila", "asien", True),
    ("uzbekistan", "tasjkent", "asien", True),
    ("kirgizistan", "bisjkek", "asien", True),
    ("tadzjikistan", "dusjanbe", "asien", True),
    ("turkmenistan", "asjchabad", "asien", True),
    ("kazakstan", "astana", None, True),
    ("egypten", "kairo", "afrika", True),
    ("marocko", "rabat", "afrika", True),
    ("algeriet", "alger", "afrika", True),
    ("tunisien", "tunis", "afrika", True),
    ("libyen", "tripoli", "afrika", False),
    ("sudan", "khartoum", "afrika", True),
    ("etiopien", "addis abeba", "afrika", True),
    ("eritrea", "asmara", "afrika", True),
    ("kenya", "nairobi", "afrika", True),
    ("uganda", "kampala", "afrika", True),
    ("rwanda", "kigali", "afrika", True),
    ("tanzania", "dodoma", "afrika", True),
    ("somalia", "mogadishu", "afrika", True),
    ("ghana", "accra", "afrika", True),
    ("nigeria", "abuja", "afrika", True),
    ("senegal", "dakar", "afrika", True),
    ("gambia", "banjul", "afrika", True),
    ("mali", "bamako", "afrika", True),
    ("niger", "niamey", "afrika", True),
    ("tchad", "n'djamena", "afrika", True),
    ("mauretanien", "nouakchott", "afrika", True),
    ("guinea", "conakry", "afrika", True),
    ("sierra leone", "freetown", "afrika", True),
    ("liberia", "monrovia", "afrika", True),
    ("kamerun", "yaoundé", "afrika", True),
    ("angola", "luanda", "afrika", True),
    ("zambia", "lusaka", "afrika", True),
    ("zimbabwe", "harare", "afrika", True),
    ("moçambique", "maputo", "afrika", True),
    ("botswana", "gaborone", "afrika", True),
    ("namibia", "windhoek", "afrika", True),
    ("madagaskar", "antananarivo", "afrika", True),
    ("usa", "washington", "nordamerika", True),
    ("kanada", "ottawa", "nordamerika", True),
    ("mexiko", "mexico city", "nordamerika", True),
    ("kuba", "havanna", "nordamerika", True),
    ("jamaica", "kingston", "nordamerika", False),
    ("haiti", "port-au-prince", "nordamerika", True),
    ("dominikanska republiken", "santo domingo", "nordamerika", True),
    ("guatemala", "guatemala city", "nordamerika", False),
    ("honduras", "tegucigalpa", "nordamerika", True),
    ("el salvador", "san salvador", "nordamerika", True),
    ("nicaragua", "managua", "nordamerika", True),
    ("costa rica", "san josé", "nordamerika", False),
    ("panama", "panama city", "nordamerika", False),
    ("colombia", "bogotá", "sydamerika", True),
    ("venezuela", "caracas", "sydamerika", True),
    ("ecuador", "quito", "sydamerika", True),
    ("peru", "lima", "sydamerika", True),
    ("chile", "santiago", "sydamerika", False),
    ("argentina", "buenos aires", "sydamerika", True),
    ("uruguay", "montevideo", "sydamerika", True),
    ("paraguay", "asunción", "sydamerika", True),
    ("brasilien", "brasília", "sydamerika", True),
    ("guyana", "georgetown", "sydamerika", False),
    ("surinam", "paramaribo", "sydamerika", True),
    ("australien", "canberra", "oceanien", True),
    ("nya zeeland", "wellington", "oceanien", True),
    ("fiji", "suva", "oceanien", True),
    ("papua nya guinea", "port moresby", "oceanien", True),
    ("samoa", "apia", "oceanien", True),
    ("tonga", "nuku'alofa", "oceanien", True),
]


def capital_records():
    records = []
    for country, capital, continent, capital_is_unique in COUNTRIES:
        answer = vary(
            country,
            f"{capital} är huvudstaden i {country}.",
            f"Huvudstaden i {country} heter {capital}.",
            f"Det är {capital}! Den var lätt.",
        )
        records.append((f"vad är huvudstaden i {country}", answer))
        if capital_is_unique:
            records.append((f"i vilket land ligger {capital}", f"{capital} ligger i {country}. Det är landets huvudstad."))
        if continent:
            records.append((f"i vilken världsdel ligger {country}", f"{country} ligger i {continent}."))
    return records


LANGUAGES = [
    ("sverige", "svenska"),
    ("norge", "norska"),
    ("danmark", "danska"),
    ("finland", "finska och svenska"),
    ("island", "isländska"),
    ("estland", "estniska"),
    ("lettland", "lettiska"),
    ("litauen", "litauiska"),
    ("polen", "polska"),
    ("tyskland", "tyska"),
    ("österrike", "tyska"),
    ("schweiz", "tyska, franska, italienska och rätoromanska"),
    ("frankrike", "franska"),
    ("belgien", "nederländska, franska och tyska"),
    ("nederländerna", "nederländska"),
    ("spanien", "spanska"),
    ("portugal", "portugisiska"),
    ("italien", "italienska"),
    ("grekland", "grekiska"),
    ("ungern", "ungerska"),
    ("tjeckien", "tjeckiska"),
    ("ryssland", "ryska"),
    ("turkiet", "turkiska"),
    ("storbritannien", "engelska"),
    ("england", "engelska"),
    ("irland", "engelska och iriska"),
    ("usa", "mest engelska"),
    ("kanada", "engelska och franska"),
    ("australien", "engelska"),
    ("mexiko", "spanska"),
    ("argentina", "spanska"),
    ("brasilien", "portugisiska"),
    ("kina", "kinesiska, mest mandarin"),
    ("japan", "japanska"),
    ("sydkorea", "koreanska"),
    ("egypten", "arabiska"),
    ("iran", "persiska"),
    ("indien", "hindi och engelska, och väldigt många språk till"),
]

CURRENCIES = [
    ("sverige", "svensk krona"),
    ("norge", "norsk krona"),
    ("danmark", "dansk krona"),
    ("island", "isländsk krona"),
    ("finland", "euro"),
    ("tyskland", "euro"),
    ("frankrike", "euro"),
    ("spanien", "euro"),
    ("italien", "euro"),
    ("nederländerna", "euro"),
    ("österrike", "euro"),
    ("storbritannien", "brittiskt pund"),
    ("schweiz", "schweizisk franc"),
    ("polen", "zloty"),
    ("ryssland", "rubel"),
    ("usa", "amerikansk dollar"),
    ("kanada", "kanadensisk dollar"),
    ("australien", "australisk dollar"),
    ("mexiko", "mexikansk peso"),
    ("japan", "yen"),
    ("kina", "yuan, som också kallas renminbi"),
    ("indien", "indisk rupie"),
]


def country_fact_records():
    records = []
    for country, language in LANGUAGES:
        records.append((f"vilket språk pratar man i {country}", f"I {country} pratar man {language}."))
    for country, currency in CURRENCIES:
        records.append((f"vilken valuta har {country}", f"{country} har {currency}."))
    return records


# ---------------------------------------------------------------------------
# Arithmetic, kept to what a child meets in school


def arithmetic_answer(question_text, result):
    return vary(
        question_text,
        f"{question_text} är {result}.",
        f"Det blir {result}!",
        f"{result}. Det visste du väl?",
        f"{question_text} blir {result}. Räkna med mig!",
    )


def arithmetic_records():
    records = []
    for a in range(0, 11):
        for b in range(0, 11):
            records.append((f"vad är {a} plus {b}", arithmetic_answer(f"{a} plus {b}", a + b)))
    for a in range(0, 11):
        for b in range(0, a + 1):
            records.append((f"vad är {a} minus {b}", arithmetic_answer(f"{a} minus {b}", a - b)))
    for a in range(1, 11):
        for b in range(1, 11):
            records.append((f"vad är {a} gånger {b}", arithmetic_answer(f"{a} gånger {b}", a * b)))
    for b in range(1, 11):
        for quotient in range(1, 11):
            a = b * quotient
            records.append((f"vad är {a} delat med {b}", arithmetic_answer(f"{a} delat med {b}", quotient)))
    for n in range(1, 13):
        records.append((f"vad är {n} i kvadrat", f"{n} i kvadrat är {n * n}, alltså {n} gånger {n}."))
        records.append((f"vad är roten ur {n * n}", f"Roten ur {n * n} är {n}, för {n} gånger {n} är {n * n}."))
    for n in range(2, 21, 2):
        records.append((f"vad är hälften av {n}", f"Hälften av {n} är {n // 2}."))
    for n in range(1, 11):
        records.append((f"vad är dubbelt så mycket som {n}", f"Dubbelt så mycket som {n} är {2 * n}."))
    return records


# ---------------------------------------------------------------------------
# Numbers in words

SWEDISH_NUMBERS = [
    "noll", "ett", "två", "tre", "fyra", "fem", "sex", "sju", "åtta", "nio", "tio",
    "elva", "tolv", "tretton", "fjorton", "femton", "sexton", "sjutton", "arton", "nitton", "tjugo",
]
SWEDISH_TENS = {30: "trettio", 40: "fyrtio", 50: "femtio", 60: "sextio", 70: "sjuttio", 80: "åttio", 90: "nittio"}
ENGLISH_NUMBERS = [
    "zero", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine", "ten",
    "eleven", "twelve", "thirteen", "fourteen", "fifteen", "sixteen", "seventeen", "eighteen", "nineteen", "twenty",
]


def number_records():
    records = []
    spelled = list(enumerate(SWEDISH_NUMBERS)) + list(SWEDISH_TENS.items())
    spelled += [(100, "hundra"), (1000, "tusen"), (1000000, "en miljon")]
    for number, word in spelled:
        records.append((f"hur skriver man {number} med bokstäver", f"{number} skrivs {word}."))
    for number, word in enumerate(ENGLISH_NUMBERS):
        swedish = "en" if number == 1 else SWEDISH_NUMBERS[number]
        records.append((f"vad heter {swedish} på engelska", f"{swedish} heter {word} på engelska."))
    records.append(("räkna till tio", "Ett, två, tre, fyra, fem, sex, sju, åtta, nio, tio! Klart."))
    records.append(("räkna till 10", "1, 2, 3, 4, 5, 6, 7, 8, 9, 10! Ska vi ta det baklänges också?"))
    records.append(("räkna baklänges från tio", "Tio, nio, åtta, sju, sex, fem, fyra, tre, två, ett, noll! Lyftoff!"))
    return records


# ---------------------------------------------------------------------------
# Opposites: (word, its opposite as the answer should say it)

OPPOSITES = [
    ("varm", "kall"), ("kall", "varm"), ("stor", "liten"), ("liten", "stor"),
    ("lång", "kort"), ("kort", "lång"), ("hög", "låg"), ("låg", "hög"),
    ("ljus", "mörk"), ("mörk", "ljus"), ("snabb", "långsam"), ("långsam", "snabb"),
    ("glad", "ledsen"), ("ledsen", "glad"), ("gammal", "ung, eller ny om det gäller en sak"),
    ("ung", "gammal"), ("ny", "gammal"), ("tung", "lätt"), ("lätt", "tung, eller svår om det gäller en uppgift"),
    ("svår", "lätt"), ("tjock", "tunn"), ("tunn", "tjock"), ("bred", "smal"), ("smal", "bred"),
    ("rik", "fattig"), ("fattig", "rik"), ("stark", "svag"), ("svag", "stark"),
    ("hård", "mjuk"), ("mjuk", "hård"), ("våt", "torr"), ("torr", "våt"),
    ("ren", "smutsig"), ("smutsig", "ren"), ("full", "tom"), ("tom", "full"),
    ("öppen", "stängd"), ("stängd", "öppen"), ("sann", "falsk"), ("falsk", "sann"),
    ("rätt", "fel"), ("fel", "rätt"), ("snäll", "elak"), ("elak", "snäll"),
    ("tyst", "högljudd"), ("högljudd", "tyst"), ("dag", "natt"), ("natt", "dag"),
    ("upp", "ner"), ("ner", "upp"), ("in", "ut"), ("ut", "in"),
    ("framåt", "bakåt"), ("bakåt", "framåt"), ("över", "under"), ("under", "över"),
    ("före", "efter"), ("efter", "före"), ("början", "slutet"), ("slutet", "början"),
    ("ja", "nej"), ("nej", "ja"), ("svart", "vit"), ("vit", "svart"),
    ("sommar", "vinter"), ("vinter", "sommar"), ("norr", "söder"), ("söder", "norr"),
    ("öster", "väster"), ("väster", "öster"), ("vänster", "höger"), ("höger", "vänster"),
    ("plus", "minus"), ("minus", "plus"), ("mycket", "lite"), ("lite", "mycket"),
    ("många", "få"), ("få", "många"), ("alltid", "aldrig"), ("aldrig", "alltid"),
    ("först", "sist"), ("sist", "först"), ("fråga", "svar"), ("svar", "fråga"),
    ("krig", "fred"), ("fred", "krig"), ("kärlek", "hat"), ("hat", "kärlek"),
    ("vän", "fiende"), ("fiende", "vän"), ("modig", "feg"), ("feg", "modig"),
    ("vacker", "ful"), ("ful", "vacker"), ("sjuk", "frisk"), ("frisk", "sjuk"),
    ("levande", "död"), ("död", "levande"), ("hungrig", "mätt"), ("mätt", "hungrig"),
    ("tidigt", "sent"), ("sent", "tidigt"), ("inne", "ute"), ("ute", "inne"),
    ("djup", "grund"), ("grund", "djup"), ("vild", "tam"), ("tam", "vild"),
    ("köpa", "sälja"), ("sälja", "köpa"), ("ge", "ta"), ("ta", "ge"),
    ("öppna", "stänga"), ("stänga", "öppna"), ("vinna", "förlora"), ("förlora", "vinna"),
    ("skratta", "gråta"), ("gråta", "skratta"), ("börja", "sluta"), ("sluta", "börja"),
    ("fylla", "tömma"), ("tömma", "fylla"), ("leva", "dö"), ("dö", "leva"),
    ("man", "kvinna"), ("kvinna", "man"), ("pojke", "flicka"), ("flicka", "pojke"),
    ("kung", "drottning"), ("drottning", "kung"), ("uppför", "nedför"), ("nedför", "uppför"),
    ("glömma", "minnas"), ("minnas", "glömma"), ("bra", "dålig"), ("dålig", "bra"),
    ("positiv", "negativ"), ("negativ", "positiv"), ("billig", "dyr"), ("dyr", "billig"),
    ("möjlig", "omöjlig"), ("omöjlig", "möjlig"), ("vanlig", "ovanlig"), ("ovanlig", "vanlig"),
    ("sur", "söt, om det gäller smak"), ("nära", "långt bort"), ("mamma", "pappa"), ("pappa", "mamma"),
    ("himmel", "jord"), ("lugn", "orolig"), ("orolig", "lugn"), ("trött", "pigg"), ("pigg", "trött"),
]


def opposite_records():
    records = []
    for word, opposite in OPPOSITES:
        answer = vary(
            word,
            f"Motsatsen till {word} är {opposite}.",
            f"{opposite} är motsatsen till {word}.",
            f"Det måste vara {opposite}!",
        )
        records.append((f"vad är motsatsen till {word}", answer))
    return records


# ---------------------------------------------------------------------------
# Colours

COLOURS = [
    ("gräs", "Gräs är grönt."),
    ("himlen", "Himlen är blå när det är fint väder."),
    ("snö", "Snö är vit. Gul snö ska man akta sig för!"),
    ("solen", "Solen ser gul ut härifrån jorden."),
    ("blod", "Blod är rött."),
    ("en banan", "En mogen banan är gul."),
    ("en citron", "En citron är gul."),
    ("en tomat", "En mogen tomat är röd."),
    ("en apelsin", "En apelsin är orange."),
    ("en gurka", "En gurka är grön."),
    ("en morot", "En morot är orange."),
    ("kol", "Kol är svart."),
    ("mjölk", "Mjölk är vit."),
    ("en jordgubbe", "En mogen jordgubbe är röd."),
    ("ett lingon", "Ett moget lingon är rött."),
    ("ett blåbär", "Ett blåbär är mörkblått, precis som namnet säger."),
    ("en isbjörn", "En isbjörn har vit päls."),
    ("en kråka", "En kråka är grå och svart."),
    ("en korp", "En korp är helt svart."),
    ("en flamingo", "En flamingo är rosa."),
    ("en groda", "De flesta grodor är gröna eller bruna."),
    ("en elefant", "En elefant är grå."),
    ("en zebra", "En zebra är randig i svart och vitt."),
    ("en tiger", "En tiger är orange med svarta ränder."),
    ("en nyckelpiga", "En nyckelpiga är röd med svarta prickar."),
    ("en pingvin", "En pingvin är svart och vit, som om den hade frack på sig."),
    ("en gris", "En gris är oftast rosa."),
    ("en räv", "En rödräv är rödbrun med vit tipp på svansen."),
    ("en guldfisk", "En guldfisk är orange, nästan guldfärgad."),
    ("choklad", "Choklad är brun. Vit choklad är förstås vit."),
    ("havet", "Havet ser blått eller grönt ut."),
    ("molnen", "Molnen är vita, eller grå när det ska regna."),
    ("svenska flaggan", "Svenska flaggan är blå med ett gult kors."),
    ("norska flaggan", "Norska flaggan är röd med ett blått kors med vit kant."),
    ("danska flaggan", "Danska flaggan är röd med ett vitt kors."),
    ("finska flaggan", "Finska flaggan är vit med ett blått kors."),
    ("isländska flaggan", "Isländska flaggan är blå med ett rött kors med vit kant."),
    ("japanska flaggan", "Japanska flaggan är vit med en röd cirkel i mitten."),
    ("mars", "Mars är rödaktig. Den kallas den röda planeten."),
]

COLOUR_MIXES = [
    ("blått", "gult", "grönt"),
    ("rött", "gult", "orange"),
    ("rött", "blått", "lila"),
    ("svart", "vitt", "grått"),
    ("rött", "vitt", "rosa"),
]


def colour_records():
    records = [(f"vilken färg har {thing}", answer) for thing, answer in COLOURS]
    for first, second, result in COLOUR_MIXES:
        for a, b in ((first, second), (second, first)):
            records.append((f"vad blir {a} och {b}", f"Blandar man {a} och {b} blir det {result}."))
    return records


# ---------------------------------------------------------------------------
# Days, months and seasons

DAYS = ["måndag", "tisdag", "onsdag", "torsdag", "fredag", "lördag", "söndag"]
ORDINALS = ["första", "andra", "tredje", "fjärde", "femte", "sjätte", "sjunde", "åttonde", "nionde", "tionde", "elfte", "tolfte"]
MONTHS = [
    ("januari", "31 dagar", "vinter"),
    ("februari", "28 dagar, och 29 dagar när det är skottår", "vinter"),
    ("mars", "31 dagar", "vår"),
    ("april", "30 dagar", "vår"),
    ("maj", "31 dagar", "vår"),
    ("juni", "30 dagar", "sommar"),
    ("juli", "31 dagar", "sommar"),
    ("augusti", "31 dagar", "sommar"),
    ("september", "30 dagar", "höst"),
    ("oktober", "31 dagar", "höst"),
    ("november", "30 dagar", "höst"),
    ("december", "31 dagar", "vinter"),
]
SEASONS = ["vår", "sommar", "höst", "vinter"]
SEASON_DEFINITE = {"vår": "våren", "sommar": "sommaren", "höst": "hösten", "vinter": "vintern"}

CALENDAR_FACTS = [
    ("hur många dagar har en vecka", "En vecka har sju dagar."),
    ("vilken är veckans första dag", "I Sverige är måndag veckans första dag."),
    ("vilken är veckans sista dag", "Söndag är veckans sista dag. Sedan börjar allt om igen."),
    ("vilka dagar är helg", "Lördag och söndag är helg. Härligt!"),
    ("vad heter veckodagarna", "Måndag, tisdag, onsdag, torsdag, fredag, lördag och söndag."),
    ("hur många månader har ett år", "Ett år har tolv månader."),
    ("vad heter månaderna", "Januari, februari, mars, april, maj, juni, juli, augusti, september, oktober, november och december."),
    ("vilken är årets första månad", "Januari är årets första månad."),
    ("vilken är årets sista månad", "December är årets sista månad."),
    ("hur många dagar har ett år", "Ett år har 365 dagar, och ett skottår har 366."),
    ("hur många dagar har ett skottår", "Ett skottår har 366 dagar. Den extra dagen är den 29 februari."),
    ("hur ofta är det skottår", "Nästan vart fjärde år."),
    ("vilka årstider finns det", "Vår, sommar, höst och vinter."),
    ("hur många årstider finns det", "Det finns fyra årstider: vår, sommar, höst och vinter."),
    ("när är det julafton", "Julafton är den 24 december. Tomten kommer!"),
    ("när är det jul", "Julafton är den 24 december och juldagen den 25 december."),
    ("när är det nyårsafton", "Nyårsafton är den 31 december."),
    ("när är det midsommar", "Midsommarafton firas på en fredag mellan den 19 och den 25 juni."),
    ("när är det lucia", "Lucia firas den 13 december."),
    ("när är det valborg", "Valborgsmässoafton är den 30 april."),
    ("när är det alla hjärtans dag", "Alla hjärtans dag är den 14 februari."),
    ("när är det halloween", "Halloween är den 31 oktober. Bu!"),
    ("när är det påsk", "Påsken infaller olika datum varje år, mellan slutet av mars och slutet av april."),
    ("när är sveriges nationaldag", "Sveriges nationaldag är den 6 juni."),
]


def calendar_records():
    records = []
    for index, day in enumerate(DAYS):
        after, before = DAYS[(index + 1) % 7], DAYS[index - 1]
        records.append((f"vilken dag kommer efter {day}", f"Efter {day} kommer {after}."))
        records.append((f"vilken dag kommer före {day}", f"Före {day} kommer {before}."))
        records.append((f"vilken veckodag är dag nummer {index + 1}", f"Dag nummer {index + 1} i veckan är {day}, om man börjar med måndag som man gör i Sverige."))
    for index, (month, length, season) in enumerate(MONTHS):
        after, before = MONTHS[(index + 1) % 12][0], MONTHS[index - 1][0]
        records.append((f"vilken månad kommer efter {month}", f"Efter {month} kommer {after}."))
        records.append((f"vilken månad kommer före {month}", f"Före {month} kommer {before}."))
        records.append((f"hur många dagar har {month}", f"{month} har {length}."))
        records.append((f"vilken månad är månad nummer {index + 1}", f"Månad nummer {index + 1} är {month}, årets {ORDINALS[index]} månad."))
        records.append((f"vilken årstid är det i {month}", f"I Sverige räknas {month} till {SEASON_DEFINITE[season]}."))
    for index, season in enumerate(SEASONS):
        after, before = SEASONS[(index + 1) % 4], SEASONS[index - 1]
        season, after, before = SEASON_DEFINITE[season], SEASON_DEFINITE[after], SEASON_DEFINITE[before]
        records.append((f"vilken årstid kommer efter {season}", f"Efter {season} kommer {after}."))
        records.append((f"vilken årstid kommer före {season}", f"Före {season} kommer {before}."))
    records.extend(CALENDAR_FACTS)
    return records


# ---------------------------------------------------------------------------
# Animals: (definite form, indefinite form, what it says)

ANIMAL_SOUNDS = [
    ("kon", "en ko", "Kon säger mu!"),
    ("katten", "en katt", "Katten säger mjau!"),
    ("hunden", "en hund", "Hunden säger voff voff!"),
    ("grisen", "en gris", "Grisen säger nöff nöff!"),
    ("fåret", "ett får", "Fåret säger bä!"),
    ("geten", "en get", "Geten säger mä!"),
    ("hästen", "en häst", "Hästen gnäggar. Det låter ungefär som ihihihi!"),
    ("tuppen", "en tupp", "Tuppen säger kuckeliku!"),
    ("hönan", "en höna", "Hönan kacklar: ko ko ko!"),
    ("ankan", "en anka", "Ankan säger kvack kvack!"),
    ("gåsen", "en gås", "Gåsen snattrar!"),
    ("ugglan", "en uggla", "Ugglan säger hoo hoo!"),
    ("göken", "en gök", "Göken säger ko ko!"),
    ("grodan", "en groda", "Grodan kväker: kvack kvack!"),
    ("ormen", "en orm", "Ormen väser: ssss!"),
    ("lejonet", "ett lejon", "Lejonet ryter: raaaawr!"),
    ("vargen", "en varg", "Vargen ylar: aoooo!"),
    ("musen", "en mus", "Musen piper: pip pip!"),
    ("åsnan", "en åsna", "Åsnan säger i-a!"),
    ("kråkan", "en kråka", "Kråkan säger kra kra!"),
    ("björnen", "en björn", "Björnen brummar!"),
    ("biet", "ett bi", "Biet surrar: bzzz!"),
    ("elefanten", "en elefant", "Elefanten trumpetar med snabeln!"),
    ("fågeln", "en fågel", "Fågeln kvittrar: kvitt kvitt!"),
]

SOUND_TO_ANIMAL = [
    ("mu", "Det är kon som säger mu."),
    ("mjau", "Det är katten som säger mjau."),
    ("voff", "Det är hunden som säger voff."),
    ("nöff", "Det är grisen som säger nöff."),
    ("bä", "Det är fåret som säger bä."),
    ("kuckeliku", "Det är tuppen som säger kuckeliku."),
    ("kvack", "Ankan säger kvack. Och grodan också!"),
    ("i-a", "Det är åsnan som säger i-a."),
    ("kra kra", "Det är kråkan som säger kra kra."),
    ("pip", "Musen säger pip. Och små fågelungar också."),
]

# (parent in the genitive, what the young is called)
ANIMAL_YOUNG = [
    ("kons", "kalv"), ("hästens", "föl"), ("fårets", "lamm"), ("grisens", "kulting"),
    ("hundens", "valp"), ("kattens", "kattunge"), ("hönans", "kyckling"), ("getens", "killing"),
    ("älgens", "kalv"), ("elefantens", "kalv"), ("valens", "kalv"), ("björnens", "björnunge"),
    ("grodans", "grodyngel"), ("fjärilens", "larv"), ("ankans", "ankunge"), ("lejonets", "lejonunge"),
]

# (animal, how many legs, as said)
ANIMAL_LEGS = [
    ("en spindel", "En spindel har åtta ben."),
    ("en insekt", "En insekt har sex ben."),
    ("en myra", "En myra har sex ben."),
    ("en fjäril", "En fjäril har sex ben."),
    ("en skalbagge", "En skalbagge har sex ben."),
    ("en hund", "En hund har fyra ben."),
    ("en katt", "En katt har fyra ben."),
    ("en häst", "En häst har fyra ben."),
    ("en ko", "En ko har fyra ben."),
    ("en elefant", "En elefant har fyra ben."),
    ("en groda", "En groda har fyra ben."),
    ("en sköldpadda", "En sköldpadda har fyra ben."),
    ("en fågel", "En fågel har två ben."),
    ("en höna", "En höna har två ben."),
    ("en pingvin", "En pingvin har två ben och vaggar fram på dem."),
    ("en struts", "En struts har två ben, och springer fort på dem."),
    ("en människa", "En människa har två ben."),
    ("en orm", "En orm har inga ben alls. Den slingrar sig fram."),
    ("en krabba", "En krabba har tio ben, och två av dem är klor."),
    ("en tusenfoting", "Trots namnet har en tusenfoting inte tusen ben. De flesta har några tiotal."),
    ("en känguru", "En känguru har två starka bakben att hoppa med, och två korta framben."),
    ("en bläckfisk", "En åttaarmad bläckfisk har åtta armar och inga ben."),
]

ANIMAL_FACTS = [
    ("vad äter en panda", "En panda äter nästan bara bambu."),
    ("vad äter en koala", "En koala äter eukalyptusblad."),
    ("vad äter en ko", "En ko äter gräs och hö."),
    ("vad äter en kanin", "En kanin äter gräs, hö och grönsaker."),
    ("vad äter ett lejon", "Ett lejon äter kött, till exempel antiloper och zebror."),
    ("vad äter en igelkott", "En igelkott äter insekter, maskar och sniglar."),
    ("vad äter en häst", "En häst äter gräs och hö, och gärna en morot."),
    ("vad äter en katt", "En katt äter kött och fisk."),
    ("var bor isbjörnen", "Isbjörnen bor i Arktis, längst upp i norr."),
    ("var bor pingvinerna", "Pingviner bor på södra halvklotet, många av dem i Antarktis."),
    ("var bor kängurun", "Kängurun bor i Australien."),
    ("var bor koalan", "Koalan bor i Australien."),
    ("var bor pandan", "Pandan bor i bergsskogar i Kina."),
    ("var bor lejonet", "Lejonet bor mest i Afrika, men några finns i Indien."),
    ("var bor tigern", "Tigern bor i Asien."),
    ("var bor elefanten", "Elefanter bor i Afrika och Asien."),
    ("var bor kamelen", "Kameler bor i öknar och torra områden i Asien och Afrika."),
    ("vilket är världens största djur", "Blåvalen är världens största djur. Den är större än en dinosaurie!"),
    ("vilket är världens största landdjur", "Den afrikanska elefanten är världens största landdjur."),
    ("vilket är världens snabbaste djur", "Pilgrimsfalken är snabbast när den störtdyker."),
    ("vilket är världens snabbaste landdjur", "Geparden är det snabbaste djuret på land."),
    ("vilket är världens högsta djur", "Giraffen är världens högsta djur."),
    ("vilken är världens största fågel", "Strutsen är världens största fågel."),
    ("vilken är världens minsta fågel", "Bikolibrin är världens minsta fågel."),
    ("vilket är sveriges största landdjur", "Älgen är Sveriges största landdjur."),
    ("är en val en fisk", "Nej, valar är däggdjur. Ungarna dricker mjölk."),
    ("är en delfin en fisk", "Nej, delfiner är däggdjur, precis som valar."),
    ("är en fladdermus en fågel", "Nej, fladdermöss är däggdjur som kan flyga."),
    ("är en pingvin en fågel", "Ja, pingviner är fåglar, fast de inte kan flyga."),
    ("kan pingviner flyga", "Nej, pingviner kan inte flyga. Men de simmar jättebra!"),
    ("kan strutsar flyga", "Nej, strutsar kan inte flyga. Men de springer väldigt fort."),
    ("är en spindel en insekt", "Nej, en spindel är ett spindeldjur. Den har åtta ben, insekter har sex."),
    ("är en orm ett däggdjur", "Nej, ormar är kräldjur."),
    ("är en groda ett kräldjur", "Nej, grodor är groddjur."),
    ("vad är ett däggdjur", "Ett däggdjur är ett djur vars ungar dricker mjölk från sin mamma."),
    ("sover björnar på vintern", "Ja, björnen går i ide och sover större delen av vintern."),
    ("hur länge lever en hund", "En hund lever oftast mellan 10 och 15 år."),
    ("hur länge lever en katt", "En katt lever ofta mellan 12 och 18 år."),
    ("vad kallas en hanhäst", "En hanhäst kallas hingst."),
    ("vad kallas en honhäst", "En honhäst kallas sto."),
    ("vad kallas en hangris", "En hangris kallas galt."),
    ("vad kallas en hongris", "En hongris kallas sugga."),
    ("vad kallas en hanko", "Hanen hos kor kallas tjur."),
    ("vad kallas ett hanfår", "Ett hanfår kallas bagge."),
    ("vad kallas en hanhöna", "Hanen hos höns kallas tupp."),
    ("hur många hjärtan har en bläckfisk", "En bläckfisk har tre hjärtan!"),
    ("vad heter en samling fåglar", "En samling fåglar kallas en flock."),
    ("vad heter en samling fiskar", "En samling fiskar kallas ett stim."),
    ("vad heter en samling vargar", "En samling vargar kallas en flock."),
]


def animal_records():
    records = []
    for definite, indefinite, sound in ANIMAL_SOUNDS:
        records.append((f"vad säger {definite}", sound))
        records.append((f"vad säger {indefinite}", sound))
    for sound, answer in SOUND_TO_ANIMAL:
        records.append((f"vilket djur säger {sound}", answer))
    for parent, young in ANIMAL_YOUNG:
        records.append((f"vad heter {parent} unge", f"{parent} unge kallas {young}."))
    for animal, answer in ANIMAL_LEGS:
        records.append((f"hur många ben har {animal}", answer))
    records.extend(ANIMAL_FACTS)
    return records


# ---------------------------------------------------------------------------
# Space

PLANETS = ["merkurius", "venus", "jorden", "mars", "jupiter", "saturnus", "uranus", "neptunus"]

SPACE_FACTS = [
    ("hur många planeter finns det", "Det finns åtta planeter i vårt solsystem."),
    ("vilka planeter finns det", "Merkurius, Venus, Jorden, Mars, Jupiter, Saturnus, Uranus och Neptunus."),
    ("vilken planet är närmast solen", "Merkurius är närmast solen."),
    ("vilken planet är längst från solen", "Neptunus är längst bort från solen."),
    ("vilken är den största planeten", "Jupiter är den största planeten i solsystemet."),
    ("vilken är den minsta planeten", "Merkurius är den minsta planeten."),
    ("vilken är den varmaste planeten", "Venus är varmast, fast Merkurius ligger närmare solen."),
    ("vilken planet bor vi på", "Vi bor på jorden, den tredje planeten från solen."),
    ("vilken planet kallas den röda planeten", "Mars kallas den röda planeten."),
    ("vilken planet har ringar", "Saturnus har de mest kända ringarna, men Jupiter, Uranus och Neptunus har också ringar."),
    ("är pluto en planet", "Nej, sedan 2006 räknas Pluto som en dvärgplanet. Samma år som jag föddes!"),
    ("vad är solen", "Solen är en stjärna. Den närmaste stjärnan vi har."),
    ("är solen en stjärna", "Ja, solen är en stjärna."),
    ("är månen en planet", "Nej, månen är jordens måne och går runt jorden."),
    ("hur många månar har jorden", "Jorden har en måne."),
    ("hur många månar har mars", "Mars har två små månar, Fobos och Deimos."),
    ("hur lång tid tar det för jorden att gå runt solen", "Ett år, ungefär 365 dagar."),
    ("hur lång tid tar det för jorden att snurra ett varv", "Ungefär ett dygn, alltså 24 timmar."),
    ("hur lång tid tar det för månen att gå runt jorden", "Ungefär en månad."),
    ("vem var först på månen", "Neil Armstrong var först på månen, år 1969."),
    ("vad heter vår galax", "Vår galax heter Vintergatan."),
    ("vad är en komet", "En komet är en klump av is och sten som åker runt solen och får en lysande svans."),
]


def space_records():
    records = []
    for index, planet in enumerate(PLANETS):
        records.append((f"vilken planet är nummer {index + 1} från solen", f"{planet} är planet nummer {index + 1} från solen."))
        records.append((f"vilket nummer har {planet} från solen", f"{planet} är den {ORDINALS[index]} planeten från solen."))
        if index + 1 < len(PLANETS):
            records.append((f"vilken planet kommer efter {planet}", f"Efter {planet} kommer {PLANETS[index + 1]}."))
        if index > 0:
            records.append((f"vilken planet kommer före {planet}", f"Före {planet} kommer {PLANETS[index - 1]}."))
    records.extend(SPACE_FACTS)
    return records


# ---------------------------------------------------------------------------
# Sweden

PROVINCES = {
    "götaland": ["skåne", "blekinge", "halland", "småland", "öland", "gotland", "östergötland", "västergötland", "bohuslän", "dalsland"],
    "svealand": ["uppland", "södermanland", "västmanland", "närke", "värmland", "dalarna"],
    "norrland": ["gästrikland", "hälsingland", "härjedalen", "jämtland", "medelpad", "ångermanland", "västerbotten", "norrbotten", "lappland"],
}

# (town, the province it lies in, as said)
TOWNS = [
    ("stockholm", "Stockholm ligger i både Uppland och Södermanland."),
    ("göteborg", "Göteborg ligger i Västergötland, men Hisingen hör till Bohuslän."),
    ("malmö", "skåne"), ("uppsala", "uppland"), ("linköping", "östergötland"), ("örebro", "närke"),
    ("västerås", "västmanland"), ("norrköping", "östergötland"), ("helsingborg", "skåne"), ("jönköping", "småland"),
    ("umeå", "västerbotten"), ("lund", "skåne"), ("borås", "västergötland"), ("sundsvall", "medelpad"),
    ("gävle", "gästrikland"), ("eskilstuna", "södermanland"), ("halmstad", "halland"), ("växjö", "småland"),
    ("karlstad", "värmland"), ("kalmar", "småland"), ("luleå", "norrbotten"), ("kiruna", "lappland"),
    ("visby", "gotland"), ("östersund", "jämtland"), ("falun", "dalarna"), ("härnösand", "ångermanland"),
    ("örnsköldsvik", "ångermanland"), ("skellefteå", "västerbotten"), ("hudiksvall", "hälsingland"), ("karlskrona", "blekinge"),
    ("kristianstad", "skåne"), ("trollhättan", "västergötland"), ("nyköping", "södermanland"), ("mora", "dalarna"),
    ("borlänge", "dalarna"), ("söderhamn", "hälsingland"), ("sandviken", "gästrikland"), ("uddevalla", "bohuslän"),
    ("strömstad", "bohuslän"), ("lysekil", "bohuslän"), ("varberg", "halland"), ("ystad", "skåne"),
    ("trelleborg", "skåne"), ("motala", "östergötland"), ("skövde", "västergötland"), ("lidköping", "västergötland"),
    ("åmål", "dalsland"), ("bengtsfors", "dalsland"), ("kramfors", "ångermanland"), ("gällivare", "lappland"),
    ("jokkmokk", "lappland"), ("arvika", "värmland"), ("sala", "västmanland"), ("enköping", "uppland"),
    ("norrtälje", "uppland"), ("södertälje", "södermanland"), ("borgholm", "öland"), ("sveg", "härjedalen"),
    ("ronneby", "blekinge"), ("karlshamn", "blekinge"), ("katrineholm", "södermanland"), ("ljungby", "småland"),
    ("värnamo", "småland"), ("oskarshamn", "småland"), ("västervik", "småland"), ("piteå", "norrbotten"),
    ("haparanda", "norrbotten"), ("boden", "norrbotten"), ("lycksele", "lappland"), ("ludvika", "dalarna"),
    ("kumla", "närke"), ("falkenberg", "halland"), ("kungsbacka", "halland"), ("alingsås", "västergötland"),
    ("nässjö", "småland"), ("landskrona", "skåne"), ("ängelholm", "skåne"), ("köping", "västmanland"),
    ("sigtuna", "uppland"), ("bollnäs", "hälsingland"), ("strängnäs", "södermanland"), ("mjölby", "östergötland"),
    ("vadstena", "östergötland"), ("åre", "jämtland"),
]

SWEDEN_FACTS = [
    ("hur många landskap har sverige", "Sverige har 25 landskap."),
    ("hur många län har sverige", "Sverige har 21 län."),
    ("vilka landsdelar har sverige", "Götaland, Svealand och Norrland."),
    ("vilket är sveriges största landskap", "Lappland är Sveriges största landskap."),
    ("vilket är sveriges minsta landskap", "Öland är Sveriges minsta landskap."),
    ("vilket är sveriges nordligaste landskap", "Lappland ligger längst norrut."),
    ("vilket är sveriges sydligaste landskap", "Skåne ligger längst söderut."),
    ("vilken är sveriges största stad", "Stockholm är Sveriges största stad."),
    ("vilken är sveriges näst största stad", "Göteborg är Sveriges näst största stad."),
    ("vilken är sveriges tredje största stad", "Malmö är Sveriges tredje största stad."),
    ("vilken är sveriges största sjö", "Vänern är Sveriges största sjö, och den största i hela EU."),
    ("vilken är sveriges näst största sjö", "Vättern är Sveriges näst största sjö."),
    ("vilket är sveriges högsta berg", "Kebnekaise är Sveriges högsta berg."),
    ("vilken är sveriges största ö", "Gotland är Sveriges största ö."),
    ("vilken är sveriges näst största ö", "Öland är Sveriges näst största ö."),
    ("vad heter sveriges kung", "Sveriges kung heter Carl XVI Gustaf."),
    ("vad heter sveriges drottning", "Sveriges drottning heter Silvia."),
    ("vad heter sveriges kronprinsessa", "Sveriges kronprinsessa heter Victoria."),
    ("vad heter sveriges nationalsång", "Sveriges nationalsång heter Du gamla, du fria."),
    ("vilka färger har sveriges flagga", "Sveriges flagga är blå och gul."),
    ("hur många bor i sverige", "Det bor drygt tio miljoner människor i Sverige."),
    ("var ligger riksdagen", "Riksdagen ligger på Helgeandsholmen i Stockholm."),
    ("vad heter sveriges största flygplats", "Arlanda, norr om Stockholm."),
    ("vilka länder gränsar till sverige", "Norge och Finland. Och Danmark ligger på andra sidan Öresund."),
    ("vad heter bron mellan sverige och danmark", "Öresundsbron. Den går mellan Malmö och Köpenhamn."),
]


def sweden_records():
    records = []
    for part, provinces in PROVINCES.items():
        for province in provinces:
            records.append((f"i vilken landsdel ligger {province}", f"{province} ligger i {part}."))
    for town, where in TOWNS:
        answer = where if " " in where else f"{town} ligger i {where}."
        records.append((f"i vilket landskap ligger {town}", answer))
    records.extend(SWEDEN_FACTS)
    return records


# ---------------------------------------------------------------------------
# The world, the body, measures and shapes

WORLD_FACTS = [
    ("hur många världsdelar finns det", "Man brukar räkna sju: Europa, Asien, Afrika, Nordamerika, Sydamerika, Oceanien och Antarktis."),
    ("vilken är den största världsdelen", "Asien är den största världsdelen."),
    ("vilken är den minsta världsdelen", "Oceanien är den minsta världsdelen."),
    ("hur många världshav finns det", "Fem: Stilla havet, Atlanten, Indiska oceanen, Norra ishavet och Södra ishavet."),
    ("vilket är världens största hav", "Stilla havet är världens största hav."),
    ("vilket är världens högsta berg", "Mount Everest är världens högsta berg, nästan 8 850 meter högt."),
    ("vilken är världens längsta flod", "Nilen eller Amazonfloden. Det tvistar forskarna om."),
    ("vilket är världens största land", "Ryssland är världens största land till ytan."),
    ("vilket är världens minsta land", "Vatikanstaten är världens minsta land."),
    ("vilket land har flest invånare", "Indien, som gick om Kina år 2023."),
    ("hur många människor bor på jorden", "Drygt åtta miljarder människor."),
    ("vilken är världens största ö", "Grönland är världens största ö."),
    ("vilken är världens största öken", "Antarktis om man räknar kalla öknar. Annars Sahara."),
    ("vilken är världens största sjö", "Kaspiska havet, om man räknar det som en sjö."),
    ("vad är jorden", "Jorden är planeten vi bor på. Den tredje från solen."),
    ("är jorden rund", "Ja, jorden är nästan helt rund, som ett klot."),
]

BODY_FACTS = [
    ("hur många tänder har en vuxen människa", "En vuxen människa har 32 tänder, om man räknar med visdomständerna."),
    ("hur många mjölktänder har ett barn", "Ett barn har 20 mjölktänder."),
    ("hur många ben finns det i människokroppen", "En vuxen människa har 206 ben i kroppen."),
    ("hur många fingrar har en människa", "Tio fingrar, fem på varje hand."),
    ("hur många tår har en människa", "Tio tår, fem på varje fot."),
    ("hur många sinnen har människan", "Man brukar säga fem: syn, hörsel, lukt, smak och känsel."),
    ("vilket är kroppens största organ", "Huden är kroppens största organ."),
    ("vad gör hjärtat", "Hjärtat pumpar runt blodet i kroppen."),
    ("vad gör lungorna", "Lungorna tar in syre när vi andas."),
    ("var sitter hjärnan", "Hjärnan sitter i huvudet. Min sitter i datorn."),
    ("hur många hjärtan har en människa", "En människa har ett hjärta."),
]

MEASURE_FACTS = [
    ("hur många sekunder är en minut", "En minut är 60 sekunder."),
    ("hur många minuter är en timme", "En timme är 60 minuter."),
    ("hur många sekunder är en timme", "En timme är 3 600 sekunder."),
    ("hur många timmar är ett dygn", "Ett dygn är 24 timmar."),
    ("hur många minuter är ett dygn", "Ett dygn är 1 440 minuter."),
    ("hur många dagar är en vecka", "En vecka är sju dagar."),
    ("hur många veckor är ett år", "Ett år är 52 veckor och en eller två dagar till."),
    ("hur många år är ett decennium", "Ett decennium är tio år."),
    ("hur många år är ett sekel", "Ett sekel är hundra år."),
    ("hur många år är ett årtusende", "Ett årtusende är tusen år."),
    ("hur många centimeter är en meter", "En meter är 100 centimeter."),
    ("hur många millimeter är en centimeter", "En centimeter är tio millimeter."),
    ("hur många meter är en kilometer", "En kilometer är 1 000 meter."),
    ("hur många kilometer är en mil", "En svensk mil är tio kilometer."),
    ("hur många gram är ett kilo", "Ett kilo är 1 000 gram."),
    ("hur många kilo är ett ton", "Ett ton är 1 000 kilo."),
    ("hur många deciliter är en liter", "En liter är tio deciliter."),
    ("hur många centiliter är en liter", "En liter är 100 centiliter."),
    ("hur många milliliter är en liter", "En liter är 1 000 milliliter."),
    ("hur många är ett dussin", "Ett dussin är tolv stycken."),
    ("hur många är ett par", "Ett par är två stycken."),
]

# (shape, corners, sides or faces as said)
SHAPES = [
    ("en triangel", "tre hörn", "tre sidor"),
    ("en kvadrat", "fyra hörn", "fyra lika långa sidor"),
    ("en rektangel", "fyra hörn", "fyra sidor"),
    ("en femhörning", "fem hörn", "fem sidor"),
    ("en sexhörning", "sex hörn", "sex sidor"),
    ("en åttahörning", "åtta hörn", "åtta sidor"),
    ("en kub", "åtta hörn", "sex sidor"),
]

SCIENCE_FACTS = [
    ("vid hur många grader fryser vatten", "Vatten fryser till is vid noll grader."),
    ("vid hur många grader kokar vatten", "Vatten kokar vid 100 grader, vid vanligt lufttryck."),
    ("vad är den kemiska formeln för vatten", "Vatten är H2O: två väteatomer och en syreatom."),
    ("vad andas vi in", "Vi andas in luft, och det är syret i den som kroppen behöver."),
    ("vad gör växter med solljus", "Växter använder solljus för att göra socker av vatten och koldioxid. Det kallas fotosyntes."),
    ("varför är himlen blå", "Solljuset sprids i luften, och det blå ljuset sprids mest. Därför ser himlen blå ut."),
    ("vad är en regnbåge", "En regnbåge är solljus som delas upp i färger av regndroppar."),
    ("hur många färger har en regnbåge", "Man brukar säga sju: rött, orange, gult, grönt, blått, indigo och violett."),
    ("vad är en cirkel", "En cirkel är en rund form utan hörn."),
    ("hur många hörn har en cirkel", "En cirkel har inga hörn alls."),
    ("hur många kanter har en kub", "En kub har tolv kanter."),
]

ELEMENTS = [
    ("guld", "Au"), ("silver", "Ag"), ("järn", "Fe"), ("koppar", "Cu"), ("syre", "O"),
    ("väte", "H"), ("kol", "C"), ("kväve", "N"), ("natrium", "Na"), ("kalium", "K"),
    ("kalcium", "Ca"), ("bly", "Pb"), ("tenn", "Sn"), ("zink", "Zn"), ("helium", "He"),
    ("svavel", "S"), ("uran", "U"), ("kvicksilver", "Hg"), ("klor", "Cl"), ("neon", "Ne"),
]


def world_records():
    records = list(WORLD_FACTS) + list(BODY_FACTS) + list(MEASURE_FACTS)
    for shape, corners, sides in SHAPES:
        records.append((f"hur många hörn har {shape}", f"{shape} har {corners}."))
        records.append((f"hur många sidor har {shape}", f"{shape} har {sides}."))
    records.extend(SCIENCE_FACTS)
    for element, symbol in ELEMENTS:
        records.append((f"vad är den kemiska beteckningen för {element}", f"Den kemiska beteckningen för {element} är {symbol}."))
    return records


# ---------------------------------------------------------------------------
# Swedish to English: (Swedish, English, optional note when English has two
# common words for it).

WORDS = [
    ("hund", "dog", ""), ("katt", "cat", ""), ("häst", "horse", ""), ("ko", "cow", ""),
    ("gris", "pig", ""), ("får", "sheep", ""), ("get", "goat", ""), ("höna", "hen", ""),
    ("tupp", "rooster", ""), ("anka", "duck", ""), ("fågel", "bird", ""), ("fisk", "fish", ""),
    ("mus", "mouse", ""), ("råtta", "rat", ""), ("kanin", "rabbit", ""), ("björn", "bear", ""),
    ("varg", "wolf", ""), ("räv", "fox", ""), ("älg", "moose", ", eller elk på brittisk engelska"),
    ("orm", "snake", ""), ("groda", "frog", ""), ("spindel", "spider", ""), ("fjäril", "butterfly", ""),
    ("bi", "bee", ""), ("myra", "ant", ""), ("lejon", "lion", ""), ("elefant", "elephant", ""),
    ("apa", "monkey", ""), ("val", "whale", ""), ("haj", "shark", ""), ("uggla", "owl", ""),
    ("ekorre", "squirrel", ""), ("igelkott", "hedgehog", ""),
    ("mamma", "mother", ", eller mum"), ("pappa", "father", ", eller dad"), ("bror", "brother", ""),
    ("syster", "sister", ""), ("dotter", "daughter", ""), ("familj", "family", ""), ("vän", "friend", ""),
    ("barn", "child", ""), ("pojke", "boy", ""), ("flicka", "girl", ""), ("kvinna", "woman", ""),
    ("bebis", "baby", ""), ("mormor", "grandmother", ", precis som farmor"),
    ("huvud", "head", ""), ("fot", "foot", ""), ("ben", "leg", ", eller bone om du menar skelettet"),
    ("öga", "eye", ""), ("öra", "ear", ""), ("näsa", "nose", ""), ("mun", "mouth", ""), ("tand", "tooth", ""),
    ("hår", "hair", ""), ("hjärta", "heart", ""), ("mage", "stomach", ""), ("knä", "knee", ""),
    ("axel", "shoulder", ""), ("hals", "neck", ""), ("rygg", "back", ""), ("tunga", "tongue", ""),
    ("äpple", "apple", ""), ("banan", "banana", ""), ("päron", "pear", ""), ("jordgubbe", "strawberry", ""),
    ("citron", "lemon", ""), ("vindruva", "grape", ""), ("bröd", "bread", ""), ("smör", "butter", ""),
    ("ost", "cheese", ""), ("mjölk", "milk", ""), ("vatten", "water", ""), ("ägg", "egg", ""),
    ("kött", "meat", ""), ("korv", "sausage", ""), ("potatis", "potato", ""), ("morot", "carrot", ""),
    ("tomat", "tomato", ""), ("gurka", "cucumber", ""), ("lök", "onion", ""), ("socker", "sugar", ""),
    ("glass", "ice cream", ""), ("kaka", "cake", ", eller cookie om det är en liten kaka"),
    ("godis", "sweets", ", eller candy på amerikansk engelska"), ("soppa", "soup", ""), ("ris", "rice", ""),
    ("frukost", "breakfast", ""), ("middag", "dinner", ""), ("te", "tea", ""), ("kaffe", "coffee", ""),
    ("hus", "house", ""), ("hem", "home", ""), ("dörr", "door", ""), ("fönster", "window", ""),
    ("bord", "table", ""), ("stol", "chair", ""), ("säng", "bed", ""), ("kök", "kitchen", ""),
    ("rum", "room", ""), ("tak", "roof", ", eller ceiling om du menar taket inne i ett rum"),
    ("golv", "floor", ""), ("vägg", "wall", ""), ("lampa", "lamp", ""), ("nyckel", "key", ""),
    ("trädgård", "garden", ""), ("trappa", "stairs", ""), ("badrum", "bathroom", ""), ("sovrum", "bedroom", ""),
    ("skola", "school", ""), ("lärare", "teacher", ""), ("bok", "book", ""), ("penna", "pen", ", eller pencil om det är en blyertspenna"),
    ("papper", "paper", ""), ("dator", "computer", ""), ("klocka", "clock", ", eller watch om den sitter på armen"),
    ("läxa", "homework", ""), ("fråga", "question", ""), ("svar", "answer", ""), ("ord", "word", ""),
    ("sol", "sun", ""), ("måne", "moon", ""), ("stjärna", "star", ""), ("himmel", "sky", ""),
    ("moln", "cloud", ""), ("regn", "rain", ""), ("snö", "snow", ""), ("vind", "wind", ""),
    ("is", "ice", ""), ("eld", "fire", ""), ("träd", "tree", ""), ("blomma", "flower", ""),
    ("gräs", "grass", ""), ("skog", "forest", ""), ("berg", "mountain", ""), ("sjö", "lake", ""),
    ("hav", "sea", ""), ("flod", "river", ""), ("ö", "island", ""), ("sten", "stone", ""),
    ("strand", "beach", ""), ("väder", "weather", ""), ("åska", "thunder", ""), ("blixt", "lightning", ""),
    ("regnbåge", "rainbow", ""),
    ("röd", "red", ""), ("blå", "blue", ""), ("grön", "green", ""), ("gul", "yellow", ""),
    ("svart", "black", ""), ("vit", "white", ""), ("grå", "grey", ", eller gray på amerikansk engelska"),
    ("brun", "brown", ""), ("rosa", "pink", ""), ("lila", "purple", ""),
    ("stor", "big", ""), ("liten", "small", ""), ("varm", "warm", ""), ("kall", "cold", ""),
    ("glad", "happy", ""), ("ledsen", "sad", ""), ("snabb", "fast", ""), ("långsam", "slow", ""),
    ("gammal", "old", ""), ("ny", "new", ""), ("ung", "young", ""), ("bra", "good", ""),
    ("dålig", "bad", ""), ("vacker", "beautiful", ""), ("kort", "short", ", eller card om du menar ett kort att spela med"), ("tung", "heavy", ""),
    ("hungrig", "hungry", ""), ("trött", "tired", ""), ("rolig", "funny", ", eller fun"), ("snäll", "kind", ""),
    ("arg", "angry", ""), ("rädd", "scared", ", eller afraid"), ("stark", "strong", ""), ("svag", "weak", ""),
    ("smutsig", "dirty", ""), ("tom", "empty", ""),
    ("springa", "run", ""), ("gå", "walk", ""), ("äta", "eat", ""), ("dricka", "drink", ""),
    ("sova", "sleep", ""), ("läsa", "read", ""), ("skriva", "write", ""), ("sjunga", "sing", ""),
    ("dansa", "dance", ""), ("simma", "swim", ""), ("hoppa", "jump", ""), ("leka", "play", ""),
    ("prata", "talk", ""), ("lyssna", "listen", ""), ("titta", "look", ""), ("se", "see", ""),
    ("höra", "hear", ""), ("tänka", "think", ""), ("älska", "love", ""), ("gilla", "like", ""),
    ("hjälpa", "help", ""), ("köpa", "buy", ""), ("sälja", "sell", ""), ("komma", "come", ""),
    ("ge", "give", ""), ("ta", "take", ""), ("tvätta", "wash", ""), ("skratta", "laugh", ""),
    ("gråta", "cry", ""), ("le", "smile", ""), ("vinna", "win", ""), ("förlora", "lose", ""),
    ("dag", "day", ""), ("natt", "night", ""), ("morgon", "morning", ""), ("kväll", "evening", ""),
    ("vecka", "week", ""), ("månad", "month", ""), ("år", "year", ""), ("timme", "hour", ""),
    ("minut", "minute", ""), ("sekund", "second", ""), ("idag", "today", ""), ("imorgon", "tomorrow", ""),
    ("igår", "yesterday", ""), ("nu", "now", ""), ("alltid", "always", ""), ("aldrig", "never", ""),
    ("sommar", "summer", ""), ("vinter", "winter", ""), ("vår", "spring", ""), ("höst", "autumn", ", eller fall på amerikansk engelska"),
    ("bil", "car", ""), ("buss", "bus", ""), ("tåg", "train", ""), ("båt", "boat", ""),
    ("flygplan", "plane", ""), ("cykel", "bike", ", eller bicycle"), ("väg", "road", ""),
    ("stad", "city", ", eller town om den är liten"), ("land", "country", ""), ("pengar", "money", ""),
    ("tid", "time", ""), ("namn", "name", ""), ("kung", "king", ""), ("drottning", "queen", ""),
    ("prinsessa", "princess", ""), ("slott", "castle", ""), ("boll", "ball", ""), ("leksak", "toy", ""),
    ("sång", "song", ""), ("musik", "music", ""), ("bild", "picture", ""), ("telefon", "phone", ""),
    ("födelsedag", "birthday", ""), ("jul", "christmas", ""), ("påsk", "easter", ""),
    ("ja", "yes", ""), ("nej", "no", ""), ("kanske", "maybe", ""), ("tack", "thank you", ""),
    ("förlåt", "sorry", ""), ("snälla", "please", ""), ("hej då", "goodbye", ""),
    ("sverige", "Sweden", ""), ("svenska", "Swedish", ""), ("engelska", "English", ""),
]


def translation_records():
    records = []
    for swedish, english, note in WORDS:
        answer = vary(
            swedish,
            f"{swedish} heter {english} på engelska{note}.",
            f"På engelska säger man {english}{note}.",
            f"{english}{note}! Nu kan du lite engelska.",
        )
        records.append((f"vad heter {swedish} på engelska", answer))
    return records


# ---------------------------------------------------------------------------


GENERATORS = [
    capital_records,
    country_fact_records,
    sweden_records,
    arithmetic_records,
    number_records,
    opposite_records,
    colour_records,
    calendar_records,
    animal_records,
    space_records,
    world_records,
    translation_records,
]


def build_records(smalltalk_path=SMALLTALK_PATH):
    """All records in brain order, stored form. Small talk first: the lookup
    reads from the top, and greetings are what users type most."""
    records = [(stored(q), stored(a)) for _, q, a in read_smalltalk(smalltalk_path)]
    for generate in GENERATORS:
        records.extend((stored(q), stored(a)) for q, a in generate())
    return records


def render(records):
    """The bytes of a brain built by appending every record in turn."""
    lines = []
    for question, answer in records:
        lines += ["", "*", question, answer]
    return "".join(line + "\r\n" for line in lines).encode("cp1252")


def write_atomically(path, data):
    temporary = path.with_name(path.name + ".tmp")
    with open(temporary, "wb") as out:
        out.write(data)
        out.flush()
        os.fsync(out.fileno())
    os.replace(temporary, path)


def main(argv):
    sys.path.insert(0, str(HERE))
    import check_brain

    target = Path(argv[1]) if len(argv) > 1 else BRAIN_PATH
    data = render(build_records())
    problems = check_brain.check_brain_bytes(data)[1]
    problems += check_brain.check_smalltalk_present(data, SMALLTALK_PATH)
    if problems:
        for problem in problems:
            print(f"make_brain: {problem}", file=sys.stderr)
        print(f"make_brain: {target} left unchanged", file=sys.stderr)
        return 1
    write_atomically(target, data)
    count = data.count(b"\r\n*\r\n")
    print(f"make_brain: wrote {count} records to {target}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
